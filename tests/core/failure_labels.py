#!/usr/bin/env python3
"""failure_labels.py ROOT [--list]: every failure label is THIS_ROUTINE (the file's
name and the function around it) or ROUTINE("name") (ROUTINE("X") belongs to the
file's function X when there is one). Fails on a label used by two routines, a
label typed by hand, or a THIS_ROUTINE with no function around it."""
import os
import re
import sys

KEYWORDS = {'if', 'for', 'while', 'switch', 'catch', 'return', 'else', 'do', 'try', 'sizeof', 'decltype',
            'alignof', 'static_assert', 'Q_EMIT', 'emit', 'new', 'delete', 'throw', 'co_return'}
LABEL_CALLS = r'\b(?:guarded|runHandler|MainException|labelledText|rethrowLabelled|rethrowLabelledUnknown)\(\s*"'
TOKENS = re.compile(r'(//[^\n]*|/\*.*?(?:\*/|$(?![\s\S]))|^[ \t]*#(?:\\\n|[^\n])*)'
                    r'|(?<!\w)R"([^(]*)\((?:.*?)\)\2"|"(?:\\.|[^"\\])*"|(?<!\d)\'(?:\\.|[^\'\\])*\'', re.S | re.M)
LAMBDA = re.compile(r'(?:^|[^\w\])\s])\s*\[[^\[\]]*\]\s*(?:\((?:[^()]|\([^()]*\))*\))?\s*(?:mutable\s*)?'
                    r'(?:noexcept\s*)?(?:->\s*[^{}()]+)?$', re.S)
NAME_CALL = re.compile(r'(~?[A-Za-z_]\w*(?:\s*::\s*~?[A-Za-z_]\w*)*)\s*\(')
AFTER_PARAMS = re.compile(r'^\s*(?:(?:const|noexcept|override|final)\b\s*|->[^{]*|:.*)*$', re.S)


def blank(text, strings=True):
    """Comments, preprocessor lines and (with strings) the insides of literals
    become spaces; lengths and line breaks stay."""
    def wipe(m):
        s = m.group(0)
        if m.group(1):
            return re.sub(r'[^\n]', ' ', s)
        return s[0] + re.sub(r'[^\n]', ' ', s[1:-1]) + s[-1] if strings else s
    return TOKENS.sub(wipe, text)


def closing(s, i):
    depth = 0
    for k in range(i, len(s)):
        depth += {'(': 1, ')': -1}.get(s[k], 0)
        if depth == 0:
            return k
    return -1


def classify(head):
    """('lambda',), ('function', name) or ('other',) for the text before a '{'."""
    h = head.strip()
    if h and LAMBDA.search(h):
        return ('lambda',)
    m = NAME_CALL.search(h)
    if not m:
        return ('other',)
    last, before = re.sub(r'\s+', '', m.group(1)).split('::')[-1], h[:m.start()]
    if last in KEYWORDS or KEYWORDS & set(re.findall(r'\w+', before)) or '(' in before or '=' in before:
        return ('other',)
    close = closing(h, m.end() - 1)
    return ('function', last) if close >= 0 and AFTER_PARAMS.match(h[close + 1:]) else ('other',)


def scan_file(rel, text, sites, problems):
    unit, clean = os.path.basename(rel).split('.')[0], blank(text)
    line = lambda pos: text.count('\n', 0, pos) + 1
    bad = lambda pos, what: problems.append('%s:%d: %s' % (rel, line(pos), what))
    for m in re.finditer(LABEL_CALLS, text):
        if clean[m.start()] != ' ':
            bad(m.start(), 'a label typed as text')
    for m in re.finditer(r'\bFailureLabel\s*[{(]', clean):
        bad(m.start(), 'a label made by hand')
    for m in re.finditer(r'"[A-Za-z_]\w*\.[A-Za-z_]\w* -- > ', blank(text, strings=False)):
        bad(m.start(), 'a label typed as text')
    stack, start, functions, named = [], 0, {}, []  # stack: (kind, name, body) per open "{"
    for m in re.finditer(r'[{};]|(?<!\w)(?:THIS_ROUTINE|ROUTINE\()', clean):
        i, tok = m.start(), m.group(0)
        if tok == '{':
            kind = classify(clean[start:i])
            if kind[0] == 'function':
                kind += ((rel, i),)
                functions.setdefault(kind[1], []).append(kind[2])
            stack.append(kind)
        elif tok == '}' and stack:
            stack.pop()
        elif tok == 'THIS_ROUTINE':
            kind = next((k for k in reversed(stack) if k[0] != 'other'), ('outside a function',))
            if kind[0] == 'function':
                sites.append((unit, kind[1], kind[2], rel, line(i)))
            else:
                bad(i, 'THIS_ROUTINE ' + kind[0].replace('lambda', 'inside a lambda'))
        elif tok == 'ROUTINE(':
            n = re.match(r'ROUTINE\(\s*"(\w+)"\s*\)', text[i:])
            if not n:
                bad(i, 'ROUTINE takes a name in quotes')
            else:
                outer = next((k[2] for k in reversed(stack) if k[0] == 'function'), (rel, -1))
                named.append((n.group(1), outer, line(i)))
        if tok in '{};':
            start = i + 1
    for name, outer, ln in named:
        spans = functions.get(name, [])
        sites.append((unit, name, spans[0] if len(spans) == 1 else outer, rel, ln))


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else '.'
    sites, problems = [], []
    for d in ('src', 'app', 'tools/cli'):
        for dirpath, _, files in os.walk(os.path.join(root, d)):
            for f in sorted(x for x in files if x.endswith(('.cpp', '.h'))):
                rel = os.path.relpath(os.path.join(dirpath, f), root)
                if rel != os.path.join('src', 'core', 'Failure.h'):
                    scan_file(rel, open(os.path.join(root, rel), encoding='utf-8').read(), sites, problems)
    seen, routines = {}, {}
    for unit, routine, body, rel, ln in sites:
        seen.setdefault(unit + '.' + routine, []).append('%s:%d' % (rel, ln))
        routines.setdefault(unit + '.' + routine, set()).add(body)
    problems += ['label %s used by %d routines: %s' % (label, len(routines[label]), ', '.join(where))
                 for label, where in sorted(seen.items()) if len(routines[label]) > 1]
    if '--list' in sys.argv:
        for label, where in sorted(seen.items()):
            print(label, ' '.join(where))
    print('%d labels at %d sites' % (len(seen), len(sites)))
    print('\n'.join(problems), end='\n' if problems else '')
    return 1 if problems or not sites else 0


if __name__ == '__main__':
    sys.exit(main())
