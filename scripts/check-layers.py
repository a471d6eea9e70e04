#!/usr/bin/env python3
"""Checks the #include lines of src/ against the layers.

    plugin -> editor -> shell -> engine -> support
              editor -> raster -> support

A folder may include its own files and those of the folders below it; nothing else. A unit (a
header and its .cpp, or a .cpp alone) may not reach itself through the includes (no cycles),
and no engine file may reach <windows.h>, directly or through a header of ours. The editor's
portable core (editor/core) includes only its own files and the layers below the editor, and
no window system's headers (<windows.h> and its kin, support/windows_prelude.h, X11), directly
or through a header of ours; only a core file made for Windows alone (its name ending in _win)
may use Windows. Includes inside #ifdef blocks count too. Exits 1 and names every fault;
`--graph` prints the unit graph.
"""
import os
import re
import sys

BELOW = {
    'support': set(),
    'engine': {'support'},
    'raster': {'support'},
    'shell': {'engine', 'support'},
    'editor': {'shell', 'engine', 'raster', 'support'},
    'plugin': {'editor', 'shell', 'engine', 'raster', 'support'},
}
CORE = 'editor' + os.sep + 'core' + os.sep
CORE_MAY_INCLUDE = ('editor/core/', 'shell/', 'engine/', 'raster/', 'support/')
WINDOWS_PRELUDE = 'support/windows_prelude.h'
WINDOWS_HEADERS = {'windows.h', 'windowsx.h', 'commctrl.h', 'winuser.h', 'wingdi.h', 'shellapi.h'}
X11_PREFIXES = ('x11/', 'xcb/')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def read_includes(src):
    files = {}
    for folder, _, names in os.walk(src):
        for name in names:
            if name.endswith(('.h', '.cpp')):
                path = os.path.relpath(os.path.join(folder, name), src)
                with open(os.path.join(src, path), encoding='utf-8') as f:
                    files[path] = [(m.group(1), m.group(2)) for m in map(INCLUDE.match, f) if m]
    return files


def unit_of(path):
    return os.path.splitext(path)[0]


def find_cycles(graph):
    """Tarjan's strongly connected components with more than one unit (or a self-loop)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in graph.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1 or v in graph.get(v, ()):
                found.append(sorted(component))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def main():
    src = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
    args = [a for a in sys.argv[1:] if a != '--graph']
    if args:
        src = args[0]
    files = read_includes(src)
    faults = []
    graph = {}
    for path, includes in sorted(files.items()):
        layer = path.split(os.sep)[0]
        if layer not in BELOW:
            faults.append(f'{path}: folder {layer} belongs to no layer')
            continue
        for kind, target in includes:
            if kind != '"':
                continue
            if target not in files:
                faults.append(f'{path}: includes {target}, which is not in src/')
                continue
            target_layer = target.split('/')[0]
            if target_layer != layer and target_layer not in BELOW[layer]:
                faults.append(f'{path}: {layer} may not include {target} ({target_layer})')
            if unit_of(target) != unit_of(path):
                graph.setdefault(unit_of(path), set()).add(unit_of(target))

    for cycle in find_cycles(graph):
        faults.append('include cycle among the units ' + ', '.join(cycle))

    def reaches(path, system_header, seen, within=''):
        """Whether path includes such a header, itself or through our headers under within."""
        if path in seen:
            return False
        seen.add(path)
        for kind, target in files.get(path, ()):
            if kind == '<' and system_header(target.lower()):
                return True
            if (kind == '"' and target in files and target.startswith(within) and
                    reaches(target, system_header, seen, within)):
                return True
        return False

    def is_windows(header):
        return header in WINDOWS_HEADERS

    def is_x11(header):
        return header.startswith(X11_PREFIXES)

    for path in sorted(files):
        if path.startswith('engine' + os.sep) and reaches(path, lambda h: h == 'windows.h', set()):
            faults.append(f'{path}: reaches <windows.h>')

    for path in sorted(files):
        if not path.startswith(CORE):
            continue
        for_windows = unit_of(path).endswith('_win')
        for kind, target in files[path]:
            if kind == '"' and not target.startswith(CORE_MAY_INCLUDE):
                faults.append(f'{path}: the editor core may not include {target}')
            if kind == '"' and target == WINDOWS_PRELUDE and not for_windows:
                faults.append(f'{path}: the editor core may not include {target} (only a _win file may)')
        # Through its own headers: the layers below choose their system headers for each platform
        # themselves.
        if not for_windows and reaches(path, is_windows, set(), 'editor/core/'):
            faults.append(f'{path}: the editor core reaches a Windows header')
        if reaches(path, is_x11, set(), 'editor/core/'):
            faults.append(f'{path}: the editor core reaches an X11 header')

    if '--graph' in sys.argv:
        for unit in sorted(graph):
            print(unit, '->', ' '.join(sorted(graph[unit])))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
