"""Runs the cases of the transcript files in e2e/ one at a time, each its own test, with cram.

A transcript file holds cases. A case starts with its title: a line that is not indented and
follows a blank line (or opens the file); a colon ending it is not part of the title. Commands
and their expected output follow in cram's format. Each case runs alone in a fresh folder of its
own, by bash, which reads e2e/lib.sh first. A block "Before each case" that opens a file is no
case: its commands run first in each of the file's cases.

  cram_case.py --list FILE...            print "FILE<tab>TITLE" for every case
  cram_case.py --run-file FILE FOLDER    run every case of FILE, one Python for all of them, and
                                         leave each one's exit status and diff in FOLDER as
                                         N.status and N.out (N counting from 0), for ctest
  cram_case.py FILE TITLE                run that case: exit status 0 when it passes, 77 when it
                                         skipped itself with "exit 80", 1 when it failed
  cram_case.py --update FILE [TITLE...]  take the programs' output as the expected output of
                                         those cases (all when none are named), as cram -i does;
                                         review the change with git diff
"""
import importlib.util
import os
import shutil
import subprocess
import sys
import time
import types

HERE = os.path.dirname(os.path.abspath(__file__))
CASE_SECONDS = 120


def blocks(path):
    """The file's blocks as [title, lines], in order: its cases and a block "Before each case"."""
    with open(path, 'rb') as f:
        lines = f.read().splitlines(keepends=True)
    found = []
    for number, line in enumerate(lines):
        title = line.rstrip(b'\n').rstrip(b':').decode('utf-8')
        if title and not title.startswith(' ') and (number == 0 or not lines[number - 1].strip()):
            if any(c in title for c in ';[]') or title in (t for t, _ in found):
                sys.exit('%s:%d: a title must be unique and hold no ; [ ]' % (path, number + 1))
            found.append([title, []])
        if not found:
            sys.exit('%s:%d: text before the first case title' % (path, number + 1))
        found[-1][1].append(line)
    return found


def cases(path):
    """The file's cases as [title, lines], in order, each after the block "Before each case"."""
    found = blocks(path)
    before = found.pop(0)[1] if found[0][0].startswith('Before each case') else []
    return [[title, before + lines] for title, lines in found]


def run(lines, update):
    """Runs a case's lines; returns its exit status and, with update, its lines with the
    programs' output merged in."""
    # cram's test runner alone: its package would load the command line's modules as well.
    if 'cram' not in sys.modules:
        package = types.ModuleType('cram')
        package.__path__ = importlib.util.find_spec('cram').submodule_search_locations
        sys.modules['cram'] = package
    from cram._test import test
    folder = os.path.join(os.environ.get('TMPDIR', '/tmp'), 'swug-case-%d' % os.getpid())
    os.mkdir(folder, 0o700)
    try:
        os.mkdir(os.path.join(folder, 'case'))
        os.chdir(os.path.join(folder, 'case'))
        # As cram's own clean environment, but in UTF-8, so that Wine passes names on unchanged.
        env = dict(os.environ, BASH_ENV=os.path.join(HERE, 'e2e', 'lib.sh'), TESTS_DIR=HERE,
                   CRAMTMP=folder, TMPDIR=folder, SWUG_PYTHON=sys.executable, LANG='C.UTF-8',
                   LC_ALL='C.UTF-8', LANGUAGE='C.UTF-8', TZ='GMT', CDPATH='', COLUMNS='80',
                   GREP_OPTIONS='')
        # A hang guard of the case's own: the whole case, background jobs too, ends after
        # CASE_SECONDS, so that a hang fails this case and not its file's ctest timeout.
        started = time.monotonic()
        guard = ['timeout', '-k', '5', str(CASE_SECONDS), '/bin/bash']
        refout, postout, diff = test(lines, shell=guard, testname=b'case.t', env=env,
                                     cleanenv=False)
        diff = list(diff or [])
        if time.monotonic() - started >= CASE_SECONDS:
            print(b''.join(diff).decode(errors='replace') + 'the case ran past %d s' % CASE_SECONDS)
            return 1, lines
        if postout is None:
            return 77, lines
        sys.stdout.buffer.write(b''.join(diff))
        if not (diff and update):
            return (1 if diff else 0), lines
        name = os.path.join(folder, 'case.t')
        with open(name, 'wb') as f:
            f.writelines(lines)
        subprocess.run(['patch', '-p0', '--silent'], input=b''.join(diff), cwd=folder, check=True)
        with open(name, 'rb') as f:
            return 1, f.readlines()
    finally:
        os.chdir(HERE)
        shutil.rmtree(folder, ignore_errors=True)


def main(argv):
    if argv[:1] == ['--list']:
        for path in argv[1:]:
            for title, _ in cases(path):
                print('%s\t%s' % (path, title))
        return 0
    if argv[:1] == ['--run-file'] and len(argv) == 3:
        path, results = os.path.abspath(argv[1]), os.path.abspath(argv[2])
        shutil.rmtree(results, ignore_errors=True)
        os.makedirs(results)
        for number, (title, lines) in enumerate(cases(path)):
            real_stdout, sys.stdout = sys.stdout, open(os.path.join(results, '%d.out' % number), 'w')
            try:
                status = run(lines, False)[0]
            finally:
                sys.stdout.close()
                sys.stdout = real_stdout
            with open(os.path.join(results, '%d.status' % number), 'w') as f:
                f.write('%d\n' % status)
            print('%s: %s' % ({0: 'passed', 77: 'skipped'}.get(status, 'FAILED'), title))
        return 0
    if argv[:1] == ['--update'] and len(argv) > 1:
        path, wanted = os.path.abspath(argv[1]), argv[2:]
        updated, before = [], []
        for title, lines in blocks(path):
            if title.startswith('Before each case'):
                before = lines
            elif not wanted or title in wanted:
                lines = run(before + lines, True)[1]
                if lines[:len(before)] != before:
                    sys.exit('%s: the block before each case shows output' % path)
                lines = lines[len(before):]
            updated.extend(lines)
        with open(path, 'wb') as f:
            f.writelines(updated)
        return 0
    if len(argv) != 2:
        sys.exit(__doc__)
    return run(dict(cases(argv[0]))[argv[1]], False)[0]


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
