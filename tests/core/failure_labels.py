#!/usr/bin/env python3
"""Failure labels of the program's sources: every label is written as
THIS_ROUTINE (the unit is the file's name, the routine the function around it)
or ROUTINE("name") (a handler written as a lambda, or one of two routines of
one name in a file). Fails when one label is used by two routines (function
bodies; ROUTINE("X") belongs to the file's function X when there is one),
when a label is typed by hand ("Unit.Routine -- > " or a string passed as a
label), or when a THIS_ROUTINE has no function around it.
Usage: failure_labels.py SOURCE_ROOT [--list]"""
import os
import re
import sys

DIRS = ('src', 'app', 'tools/cli')
KEYWORDS = {'if', 'for', 'while', 'switch', 'catch', 'return', 'else', 'do', 'try', 'sizeof', 'decltype',
            'alignof', 'static_assert', 'Q_EMIT', 'emit', 'new', 'delete', 'throw', 'co_return'}
LABEL_CALLS = r'\b(?:guarded|runHandler|MainException|labelledText|rethrowLabelled|rethrowLabelledUnknown)\(\s*"'


def blank(text, strings=True):
    """Comments, string and character literals (unless strings is false) and
    preprocessor lines become spaces (lengths and line breaks kept)."""
    out = list(text)
    i, n = 0, len(text)
    def wipe(a, b):
        for k in range(a, b):
            if out[k] != '\n':
                out[k] = ' '
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            wipe(i, j); i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            wipe(i, j); i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == '_')):
            d = text.index('(', i)
            end = ')' + text[i + 2:d] + '"'
            j = text.index(end, d) + len(end)
            if strings: wipe(i + 1, j)
            i = j
        elif c in '"\'':
            if c == "'" and i > 0 and text[i - 1].isdigit() and i + 1 < n and text[i + 1].isalnum():  # 1'000
                i += 1; continue
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            if strings: wipe(i + 1, j)
            i = j + 1
        elif c == '#' and text[:i].rstrip(' \t').endswith(('\n', '')) and (i == 0 or text[text.rfind('\n', 0, i) + 1:i].strip() == ''):
            j = i
            while True:
                k = text.find('\n', j)
                if k < 0: k = n; break
                if text[k - 1] != '\\': break
                j = k + 1
            wipe(i, k); i = k
        else:
            i += 1
    return ''.join(out)


def matching(s, i, open_c, close_c):
    depth = 0
    for k in range(i, len(s)):
        if s[k] == open_c: depth += 1
        elif s[k] == close_c:
            depth -= 1
            if depth == 0: return k
    return -1


LAMBDA = re.compile(r'(?:^|[^\w\])\s])\s*\[[^\[\]]*\]\s*(?:\((?:[^()]|\([^()]*\))*\))?\s*(?:mutable\s*)?'
                    r'(?:noexcept\s*)?(?:->\s*[^{}()]+)?$', re.S)
NAME_CALL = re.compile(r'(~?[A-Za-z_]\w*(?:\s*::\s*~?[A-Za-z_]\w*)*)\s*\(')
AFTER_PARAMS = re.compile(r'^\s*(?:(?:const|noexcept|override|final)\b\s*|->[^{]*|:.*)*$', re.S)


def classify(head):
    """('lambda',), ('function', name) or ('other',) for the text before a '{'."""
    h = head.strip()
    if not h:
        return ('other',)
    if LAMBDA.search(h):
        return ('lambda',)
    for m in NAME_CALL.finditer(h):
        name = re.sub(r'\s+', '', m.group(1))
        last = name.split('::')[-1]
        before = h[:m.start()]
        if last in KEYWORDS or any(k in KEYWORDS for k in re.findall(r'\w+', before)):
            return ('other',)
        if '(' in before or '=' in before:
            return ('other',)
        close = matching(h, m.end() - 1, '(', ')')
        if close < 0:
            return ('other',)
        if AFTER_PARAMS.match(h[close + 1:]):
            return ('function', last)
        return ('other',)
    return ('other',)


def scan(root):
    sites, problems = [], []
    for d in DIRS:
        for dirpath, _, files in os.walk(os.path.join(root, d)):
            for f in sorted(files):
                if not f.endswith(('.cpp', '.h')):
                    continue
                path = os.path.join(dirpath, f)
                rel = os.path.relpath(path, root)
                text = open(path, encoding='utf-8').read()
                if rel == os.path.join('src', 'core', 'Failure.h'):
                    continue
                unit = f.split('.')[0]
                clean = blank(text)
                named = []
                line = lambda pos: text.count('\n', 0, pos) + 1
                for m in re.finditer(LABEL_CALLS, text):
                    if clean[m.start()] != ' ':
                        problems.append('%s:%d: a label typed as text' % (rel, line(m.start())))
                for m in re.finditer(r'\bFailureLabel\s*[{(]', clean):
                    problems.append('%s:%d: a label made by hand' % (rel, line(m.start())))
                for m in re.finditer(r'"[A-Za-z_]\w*\.[A-Za-z_]\w* -- > ', blank(text, strings=False)):
                    problems.append('%s:%d: a label typed as text' % (rel, line(m.start())))
                # Blocks: a stack of (kind, name) opened by "{".
                stack, last_delim, functions = [], 0, {}
                for i, c in enumerate(clean):
                    if c == '{':
                        kind = classify(clean[last_delim:i])
                        if kind[0] == 'function':
                            kind = kind + ((rel, i),)
                            functions.setdefault(kind[1], []).append(kind[2])
                        stack.append(kind)
                        last_delim = i + 1
                    elif c == '}':
                        if stack: stack.pop()
                        last_delim = i + 1
                    elif c == ';':
                        last_delim = i + 1
                    elif clean.startswith('THIS_ROUTINE', i) and (i == 0 or not (clean[i - 1].isalnum() or clean[i - 1] == '_')):
                        where = None
                        for kind in reversed(stack):
                            if kind[0] == 'lambda':
                                problems.append('%s:%d: THIS_ROUTINE inside a lambda' % (rel, line(i)))
                                where = '?'
                                break
                            if kind[0] == 'function':
                                where = (kind[1], kind[2])
                                break
                        if where is None:
                            problems.append('%s:%d: THIS_ROUTINE outside a function' % (rel, line(i)))
                        elif where != '?':
                            sites.append((unit, where[0], where[1], rel, line(i)))
                    elif clean.startswith('ROUTINE(', i) and (i == 0 or not (clean[i - 1].isalnum() or clean[i - 1] == '_')):
                        m = re.match(r'ROUTINE\(\s*"(\w+)"\s*\)', text[i:])
                        if not m:
                            problems.append('%s:%d: ROUTINE takes a name in quotes' % (rel, line(i)))
                            continue
                        outer = next((k[2] for k in reversed(stack) if k[0] == 'function'), (rel, -1))
                        named.append((unit, m.group(1), outer, rel, line(i)))
                for unit_, name, outer, rel_, ln in named:
                    spans = functions.get(name, [])
                    sites.append((unit_, name, spans[0] if len(spans) == 1 else outer, rel_, ln))
    return sites, problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else '.'
    sites, problems = scan(root)
    seen, routines = {}, {}
    for unit, routine, body, rel, ln in sites:
        label = '%s.%s' % (unit, routine)
        seen.setdefault(label, []).append('%s:%d' % (rel, ln))
        routines.setdefault(label, set()).add(body)
    for label, where in sorted(seen.items()):
        if len(routines[label]) > 1:
            problems.append('label %s used by %d routines: %s' % (label, len(routines[label]), ', '.join(where)))
    if '--list' in sys.argv:
        for label, where in sorted(seen.items()):
            print(label, ' '.join(where))
    print('%d labels at %d sites' % (len(seen), len(sites)))
    for p in problems:
        print(p)
    return 1 if problems or not sites else 0


if __name__ == '__main__':
    sys.exit(main())
