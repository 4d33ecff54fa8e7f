"""Shows where each end-to-end case of case_list_before.txt went: the transcript case that now
checks it, or the C++ test that still does. Exit status 1 when a case is found nowhere."""
import glob
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cram_case import cases  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def key(text):
    return re.sub(r'[^a-z0-9]+', ' ', text.lower()).strip()


titles = {}
for path in sorted(glob.glob(os.path.join(HERE, 'e2e', '*.t'))):
    for title, _ in cases(path):
        titles[key(title)] = '%s: %s' % (os.path.basename(path)[:-2], title)
cpp = {path: open(path).read() for path in glob.glob(os.path.join(HERE, '*.cpp'))}
missing = 0
for line in open(os.path.join(HERE, 'case_list_before.txt')):
    if line.startswith('#') or not line.strip():
        continue
    table, name = line.rstrip('\n').split(': ', 1)
    name, _, renamed = name.partition(' => ')
    short = name.replace('TEST ', '').split('.')[-1]
    still = next(('still ' + os.path.basename(p) for p, text in cpp.items()
                  if '"%s"' % name in text or 'TEST(%s)' % short.replace('.', ', ') in text
                  or ', %s)' % short in text), None)
    where = renamed if renamed.startswith('(') else titles.get(key(renamed or name)) or still or next(
        (t for k, t in titles.items() if key(name) in k), None)
    if not where:
        missing += 1
        where = 'NOT FOUND'
    print('%s: %s -> %s' % (table, name, where))
sys.exit(1 if missing else 0)
