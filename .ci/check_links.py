#!/usr/bin/env python3
"""Every relative link in the repository's Markdown files must resolve: the file or folder it names
exists, and a #fragment names a heading of the Markdown file it points into (as GitHub makes
heading anchors). Prints each broken link as FILE:LINE: TARGET and exits 1 when there is one."""
import pathlib
import re
import subprocess
import sys

LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
FENCE = re.compile(r"^\s*(```|~~~)")


def slug(heading):
    text = re.sub(r"[`*_]|\[|\]\([^)]*\)", "", heading.strip().lower())
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def lines_outside_code(path):
    in_fence = False
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if FENCE.match(line):
            in_fence = not in_fence
        elif not in_fence:
            yield number, line


def anchors(path):
    found, seen = set(), {}
    for _, line in lines_outside_code(path):
        heading = re.match(r"#{1,6}\s+(.*)", line)
        if heading:
            base = slug(heading.group(1))
            count = seen.get(base, 0)
            seen[base] = count + 1
            found.add(base if count == 0 else f"{base}-{count}")
    return found


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard", "*.md"], cwd=root, capture_output=True, text=True,
                            check=True).stdout.split()
    broken = 0
    for name in listed:
        source = root / name
        if not source.exists():
            continue
        for number, line in lines_outside_code(source):
            for target in LINK.findall(re.sub(r"`[^`]*`", "", line)):
                if re.match(r"[a-z][a-z0-9+.-]*:", target):
                    continue  # https:, mailto: and the like
                file_part, _, fragment = target.partition("#")
                resolved = (source.parent / file_part).resolve() if file_part else source
                ok = resolved.exists()
                if ok and fragment and resolved.suffix == ".md":
                    ok = fragment in anchors(resolved)
                if not ok:
                    print(f"{name}:{number}: {target}")
                    broken += 1
    if broken:
        print(f"{broken} relative link(s) do not resolve")
        return 1
    print(f"every relative link resolves ({len(listed)} Markdown files)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
