#!/usr/bin/env python3
"""Runs the engine over real-world Access files beside two independent readers.

The files are not part of the repository: manifest.tsv (beside this script) names each one by
repository, commit, path and sha256, and the files themselves lie in the folder the environment
variable CORVANTA_CORPUS names, under their local names. Files that are missing, or whose
sha256 differs, are skipped. For every file present it runs:

  - the table lists of corvanta-db, mdb-tables (mdbtools) and mdb-reader;
  - a look-up of every table corvanta-db lists, by its name, and an export of it, with the row
    count compared to mdb-export's and mdb-reader's;
  - corvanta-db check (problems and notes);
  - corpus_probe keys: every text key of every index recomputed in the file's sort order;
  - on a copy of the file: a make-table copy of a table, a rename of the copy (a copy and a
    drop), and a drop, each followed by check (problems the file did not have before count)
    and both readers' table lists.

It prints one line per file to standard error as it goes and a summary table at the end; with
--details it also lists every refused table, check problem and refused write.

Usage: CORVANTA_CORPUS=DIR tests/corpus/run_corpus.py BUILD_DIR [--details] [--only SUBSTRING]
"""
import collections
import csv
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
READER = os.path.join(HERE, '..', 'support', 'mdb_reader', 'dump.mjs')
TIMEOUT = 300
csv.field_size_limit(sys.maxsize)


def run(command, env=None):
    try:
        done = subprocess.run(command, capture_output=True, timeout=TIMEOUT, env=env)
        return done.returncode, done.stdout.decode('utf-8', 'replace'), \
            done.stderr.decode('utf-8', 'replace')
    except subprocess.TimeoutExpired:
        return -1, '', 'timed out'


class Corvanta:
    def __init__(self, build, password):
        self.tool = os.path.join(build, 'corvanta-db')
        self.probe = os.path.join(build, 'corpus_probe')
        self.env = dict(os.environ, CORVANTA_PASSWORD=password, CORVANTA_PASSWORD2=password)
        self.password = password

    def __call__(self, *words):
        return run([self.tool, *words], env=self.env)

    def keys(self, path):
        return run([self.probe, 'keys', path, self.password])


def csv_rows(text):
    rows = list(csv.reader(text.splitlines(keepends=True)))
    return max(len(rows) - 1, 0)


def mdbtools_tables(path):
    status, out, _ = run(['mdb-tables', '-1', path])
    return set(out.splitlines()) if status == 0 else None


def mdbtools_rows(path, table):
    status, out, _ = run(['mdb-export', path, table])
    return csv_rows(out) if status == 0 else None


def reader(path, password, tables):
    """mdb-reader's table list (tables empty) or row counts of tables."""
    requests = []
    for table in tables or ['']:
        requests += [path, password, table]
    status, out, err = run(['node', READER, *requests])
    answers = out.split('\x1e')[1:]
    if status != 0 or len(answers) != len(requests) // 3:
        return None
    results = []
    for answer in answers:
        lines = answer.rstrip('\n').split('\n')
        if lines[0] != 'ok':
            results.append(None)
        elif not tables:
            results.append(set(lines[1:]))
        else:
            results.append(len(lines) - 2)
    return results if tables else results[0]


def key_summary(output):
    """(sort order, keys, equal, unknown) from corpus_probe keys output."""
    order = None
    counts = collections.Counter()
    for line in output.splitlines():
        fields = line.split('\t')
        if fields[0] == 'H':
            order = fields[2]
        elif fields[0] == 'K':
            parts = [part.split('|') for part in fields[5:]]
            counts['keys'] += 1
            if any(part[6] == '-' for part in parts):
                counts['unknown'] += 1
            elif ''.join(part[6] for part in parts) == fields[4]:
                counts['equal'] += 1
    return order, counts


def check_problems(corvanta, path):
    status, out, err = corvanta('check', path, '--all')
    # Without the file's name, so that a copy's problems compare with the original's.
    lines = [re.sub(r"The database '[^']*'", 'The database', line) for line in out.splitlines()]
    problems = [line for line in lines if line != 'ok' and not line.startswith('note: ')]
    notes = [line for line in lines if line.startswith('note: ')]
    if status not in (0, 1):
        problems.append(err.strip())
    return problems, notes


def writes(corvanta, path, table, folder, tally, details, known):
    """A copy, a rename (copy and drop) and a drop on a copy of the file; known: the problems
    the file had before."""
    work = os.path.join(folder, 'work' + os.path.splitext(path)[1])
    shutil.copyfile(path, work)
    copied, renamed = table[:40] + '_c', table[:40] + '_r'
    steps = [('copy', ['copy', work, table, work, copied]),
             ('rename', ['copy', work, copied, work, renamed]),
             ('rename', ['drop', work, copied]),
             ('drop', ['drop', work, renamed])]
    for kind, words in steps:
        status, _, err = corvanta(*words)
        if status != 0:
            tally['writes refused'] += 1
            details.append('%s refused: %s' % (kind, err.strip()))
            return
        tally['writes done'] += 1
        problems = [p for p in check_problems(corvanta, work)[0] if p not in known]
        listed = mdbtools_tables(work)
        read = reader(work, corvanta.password, [])
        if problems or listed is None or read is None:
            tally['writes leaving a problem'] += 1
            details.append('%s left: %s' % (kind, problems or 'a reader failing'))
            return


def verify(entry, corpus):
    path = os.path.join(corpus, entry['local_name'])
    if not os.path.exists(path):
        return None
    with open(path, 'rb') as data:
        if hashlib.sha256(data.read()).hexdigest() != entry['sha256']:
            return None
    return path


def main():
    args = sys.argv[1:]
    if not args or 'CORVANTA_CORPUS' not in os.environ:
        sys.stderr.write(__doc__)
        sys.exit(2)
    build = args[0]
    show_details = '--details' in args
    only = args[args.index('--only') + 1] if '--only' in args else ''
    corpus = os.environ['CORVANTA_CORPUS']
    with open(os.path.join(HERE, 'manifest.tsv'), newline='') as manifest:
        entries = list(csv.DictReader(manifest, delimiter='\t'))
    by_order = collections.defaultdict(collections.Counter)
    details = collections.defaultdict(list)
    with tempfile.TemporaryDirectory() as folder:
        for entry in entries:
            if only not in entry['local_name']:
                continue
            path = verify(entry, corpus)
            if not path:
                continue
            password = entry.get('password') or ''
            corvanta = Corvanta(build, password)
            notes = details[entry['local_name']]
            order, keys = key_summary(corvanta.keys(path)[1])
            tally = by_order[order or 'unopened']
            tally['files'] += 1
            tally['keys'] += keys['keys']
            tally['keys equal'] += keys['equal']
            tally['keys unknown'] += keys['unknown']
            status, out, err = corvanta('tables', path)
            if status != 0:
                tally['files refused'] += 1
                notes.append('open refused: ' + err.strip())
                continue
            listed = [line.split('\t', 1) for line in out.splitlines()]
            names = [name for kind, name in listed if kind == 'TABLE']
            theirs = mdbtools_tables(path)
            read = reader(path, password, [])
            if theirs is not None and set(names) != theirs:
                tally['table lists unlike mdbtools'] += 1
            tally['tables'] += len(names)
            counts = reader(path, password, names) if names else []
            for at, name in enumerate(names):
                status, out, err = corvanta('export', path, name)
                if status != 0:
                    if 'cannot find' in err.lower() or '3078' in err:
                        tally['tables not found by name'] += 1
                    tally['tables refused'] += 1
                    notes.append('%s refused: %s' % (name, err.strip()))
                    continue
                tally['tables found by name'] += 1
                rows = csv_rows(out)
                tally['rows'] += rows
                theirs_rows = mdbtools_rows(path, name)
                if theirs_rows == rows:
                    tally['tables equal to mdbtools'] += 1
                elif theirs_rows is not None:
                    notes.append('%s: %d rows, mdb-export %d' % (name, rows, theirs_rows))
                if counts and counts[at] == rows:
                    tally['tables equal to mdb-reader'] += 1
                elif counts and counts[at] is not None:
                    notes.append('%s: %d rows, mdb-reader %d' % (name, rows, counts[at]))
            problems, check_notes = check_problems(corvanta, path)
            tally['check problems'] += len(problems)
            tally['files with check problems'] += bool(problems)
            tally['check notes'] += len(check_notes)
            notes.extend('check: ' + problem for problem in problems)
            if names:
                writes(corvanta, path, names[0], folder, tally, notes, problems)
            sys.stderr.write('%s %s: %d tables, %d problems\n' % (
                order, entry['local_name'], len(names), len(problems)))
    columns = ['files', 'files refused', 'tables', 'tables found by name', 'tables refused',
               'tables not found by name', 'rows', 'tables equal to mdbtools',
               'tables equal to mdb-reader', 'files with check problems', 'check problems',
               'check notes', 'keys', 'keys equal', 'keys unknown', 'writes done',
               'writes refused', 'writes leaving a problem']
    total = collections.Counter()
    for tally in by_order.values():
        total.update(tally)
    print('| sort order | ' + ' | '.join(columns) + ' |')
    print('|---' * (len(columns) + 1) + '|')
    for order, tally in sorted(by_order.items()) + [('all', total)]:
        print('| %s | %s |' % (order, ' | '.join(str(tally[column]) for column in columns)))
    if show_details:
        for name, notes in details.items():
            for note in notes:
                print('%s: %s' % (name, note))


if __name__ == '__main__':
    main()
