#!/usr/bin/env python3
"""Learns the text key rules of sort orders other than General from keys Access wrote.

Every text key in an index of a real file is a worked example: the text of the row, and the key
Access computed for it in the sort order of its column. This script reads those examples (the
output of `corpus_probe keys` over real-world files, one .keys file per database) and finds, for
each sort order of the General Legacy family other than General itself (LCID 1033):

  - the characters that keep their General Legacy codes there (seen in a key that equals the
    General Legacy key of its text);
  - the characters, and pairs of characters that sort as one letter, with codes of their own
    (each a sort element of one or two bytes, and an extra code or none), consistent in every
    key that shows them.

A key it cannot explain that way is reported and teaches nothing. The result is written as
src/engine/format/indexes/locale_sort_tables.cpp; a summary per sort order goes to standard error.

Usage: scripts/learn_sort_orders.py PROBE KEYS_DIR > src/engine/format/indexes/locale_sort_tables.cpp
  PROBE     the built corpus_probe (it prints the General Legacy codes of every character)
  KEYS_DIR  a folder of `corpus_probe keys` outputs
"""
import collections
import os
import subprocess
import sys

GENERAL_LCID = 1033
# A character is order-independent when this many sort orders show it with its General Legacy
# code, and none with another.
ORDER_INDEPENDENT_MIN = 3


def general_codes(probe):
    """The General Legacy inline and extra codes of every character, alone."""
    text = subprocess.run([probe, 'codes', 'legacy', '0', 'ffff'], check=True,
                          capture_output=True, text=True).stdout
    codes = {}
    for line in text.splitlines():
        point, key = line.split('\t')
        key = bytes.fromhex(key)
        end = key.index(1)
        codes[chr(int(point, 16))] = (key[:end], key[end + 1:-1])
    # A blank alone is a trailing blank, which keys leave out; inside a text it is code 07.
    codes[' '] = (b'\x07', b'')
    return codes


def unescape(text):
    out = []
    index = 0
    while index < len(text):
        c = text[index]
        if c == '\\' and index + 1 < len(text):
            out.append({'t': '\t', 'n': '\n', 'r': '\r', 'p': '|', '\\': '\\'}[text[index + 1]])
            index += 2
        else:
            out.append(c)
            index += 1
    return ''.join(out)


def examples(keys_dir):
    """(lcid, text, stored text part, General Legacy text part) of every ascending text key."""
    for name in sorted(os.listdir(keys_dir)):
        if not name.endswith('.keys'):
            continue
        file_format = None
        with open(os.path.join(keys_dir, name), encoding='utf-8', errors='replace') as lines:
            for line in lines:
                fields = line.rstrip('\n').split('\t')
                if fields[0] == 'H':
                    file_format = int(fields[1])
                if fields[0] != 'K' or file_format == 0:  # Jet 3 keys follow General 97
                    continue
                stored = fields[4]
                parts = [part.split('|') for part in fields[5:]]
                for at, part in enumerate(parts):
                    kind, lcid, version, direction, value, computed = part[:6]
                    if kind not in ('10', '12') or value == '\\N' or direction != 'A':
                        continue
                    if version != '0':
                        continue
                    before = ''.join(p[5] for p in parts[:at])
                    after = ''.join(p[5] for p in parts[at + 1:])
                    if not stored.startswith(before) or not stored.endswith(after):
                        continue
                    own = stored[len(before):len(stored) - len(after)]
                    text = unescape(value)[:255].rstrip(' ')
                    yield int(lcid), text, bytes.fromhex(own), bytes.fromhex(computed)


class Learner:
    def __init__(self, codes):
        self.codes = codes
        self.single = {code[0][0] for code in codes.values() if len(code[0]) == 1}

    def elements(self, inline):
        out = []
        at = 0
        while at < len(inline):
            size = 1 if inline[at] in self.single else 2
            out.append(inline[at:at + size])
            at += size
        return out

    def align(self, text, inline, known, joined=None):
        """Per unknown character (or joined pair), the element it takes; None if no fit."""
        elements = self.elements(inline)
        found = []
        at = 0
        index = 0
        while index < len(text):
            if joined is not None and index == joined:
                unit, index = text[index:index + 2], index + 2
            else:
                unit, index = text[index], index + 1
            general = self.codes.get(unit, (b'', b''))[0]
            if len(unit) == 1 and (unit in known or not general):
                count = len(self.elements(general))
                if elements[at:at + count] != self.elements(general):
                    return None
                at += count
                continue
            if at >= len(elements):
                return None
            found.append((unit, elements[at], at))
            at += 1
        return found if at == len(elements) else None


def learn(codes, keys_dir):
    learner = Learner(codes)
    by_order = collections.defaultdict(list)
    for lcid, text, stored, computed in examples(keys_dir):
        if lcid != GENERAL_LCID:
            by_order[lcid].append((text, stored, computed))
    orders = {}
    for lcid, keys in sorted(by_order.items()):
        kept = collections.Counter()
        for text, stored, computed in keys:
            if stored == computed:
                kept.update(text)
        own = collections.defaultdict(collections.Counter)
        unexplained = []
        for text, stored, computed in keys:
            if stored == computed:
                continue
            body = stored[1:-1]  # the flag byte and the closing 00 go
            end = body.index(1)
            inline, extra = body[:end], body[end + 1:]
            found = learner.align(text, inline, kept)
            if found is None:
                for joined in range(len(text) - 1):
                    found = learner.align(text, inline, kept, joined)
                    if found is not None:
                        break
            if found is None:
                unexplained.append(text)
                continue
            for unit, element, position in found:
                # The extra code at the unit's element position; the placeholder 02 (or
                # nothing) means none.
                code = extra[position] if position < len(extra) else 0
                own[unit][(element, 0 if code == 2 else code)] += 1
        conflicting = {unit: seen for unit, seen in own.items() if len(seen) > 1}
        rules = {unit: next(iter(seen)) for unit, seen in own.items() if len(seen) == 1}
        # A code equal to General Legacy's (extra included) is a kept character.
        for unit, (element, code) in list(rules.items()):
            general = codes.get(unit)
            if len(unit) == 1 and general and general[0] == element and \
                    general[1] == (bytes([code]) if code else b''):
                kept[unit] += own[unit][(element, code)]
                del rules[unit]
        orders[lcid] = {
            'keys': len(keys),
            'equal': sum(1 for _, s, c in keys if s == c),
            'kept': kept,
            'rules': {unit: (code, sum(own[unit].values())) for unit, code in rules.items()},
            'conflicting': conflicting,
            'unexplained': unexplained,
        }
    seen_kept = collections.Counter()
    seen_own = set()
    for order in orders.values():
        seen_kept.update(order['kept'].keys())
        seen_own.update(unit for unit in order['rules'] if len(unit) == 1)
        seen_own.update(order['conflicting'])
    independent = sorted(c for c, count in seen_kept.items()
                         if count >= ORDER_INDEPENDENT_MIN and c not in seen_own)
    return orders, independent


def utf16_literal(text):
    out = []
    for c in text:
        point = ord(c)
        if 0x20 <= point < 0x7F and c not in '"\\?':
            out.append(c)
        else:
            out.append('\\u%04x' % point)
    return 'u"' + ''.join(out) + '"'


def write_source(orders, independent, out):
    out.write('''// Generated by scripts/learn_sort_orders.py from the text keys Access wrote in real-world
// files. Do not edit by hand.
// clang-format off
#include "engine/format/indexes/locale_sort_tables.h"

namespace engine::format::locale_tables {

namespace {

''')
    for lcid, order in orders.items():
        out.write('constexpr LocaleCode kOwn%d[] = {\n' % lcid)
        for unit, ((element, extra), seen) in sorted(order['rules'].items()):
            codes = ', '.join('0x%02X' % b for b in element)
            out.write('    {%s, %d, {%s}, 0x%02X, %d},\n' % (
                utf16_literal(unit), len(element), codes, extra, seen))
        if not order['rules']:
            out.write('    {u"", 0, {}, 0, 0},\n')
        out.write('};\n\n')
    out.write('}  // namespace\n\n')
    out.write('const std::u16string_view kOrderIndependent = %s;\n\n' %
              utf16_literal(''.join(independent)))
    out.write('const LocaleRules kLocales[] = {\n')
    for lcid, order in orders.items():
        count = len(order['rules'])
        out.write('    {%d, %d, %d,\n     %s,\n     {kOwn%d, %d}},\n' % (
            lcid, order['keys'], order['equal'], utf16_literal(''.join(sorted(order['kept']))),
            lcid, count))
    out.write('};\n\nconst size_t kLocaleCount = %d;\n\n' % len(orders))
    out.write('}  // namespace engine::format::locale_tables\n')


def summary(orders, independent):
    err = sys.stderr
    err.write('order-independent characters: %s\n' % ''.join(independent))
    for lcid, order in orders.items():
        err.write('%d: %d keys, %d equal to General Legacy, %d characters kept, %d own codes\n' % (
            lcid, order['keys'], order['equal'], len(order['kept']), len(order['rules'])))
        for unit, ((element, extra), seen) in sorted(order['rules'].items()):
            err.write('    %r = %s%s (%d keys)\n' % (
                unit, element.hex(), ' extra %02x' % extra if extra else '', seen))
        for unit, seen in order['conflicting'].items():
            err.write('    conflicting codes for %r: %s\n' % (unit, dict(seen)))
        for text in order['unexplained']:
            err.write('    unexplained key of %r\n' % text)


def main():
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__)
        sys.exit(2)
    orders, independent = learn(general_codes(sys.argv[1]), sys.argv[2])
    write_source(orders, independent, sys.stdout)
    summary(orders, independent)


if __name__ == '__main__':
    main()
