#!/usr/bin/env python3
"""scripts/check-layers.py on small source trees made here: each case a tree and the faults the
script must name (none for a clean tree), so a rule that stops catching its fault shows."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'check-layers.py')

# Files every tree has: a shell, an engine, a raster header that picks Windows on its own, the
# prelude, and a core header.
BASE = {
    'support/windows_prelude.h': '#include <windows.h>\n',
    'support/heap_buffer.h': '',
    'engine/band.h': '#include "support/heap_buffer.h"\n',
    'shell/effect.h': '#include "engine/band.h"\n',
    'raster/pixo.h': '#ifdef _WIN32\n#include "support/windows_prelude.h"\n#endif\n',
    'editor/core/geometry.h': '#include "shell/effect.h"\n#include "raster/pixo.h"\n',
    'editor/main_window.h': '#include "support/windows_prelude.h"\n#include "editor/core/geometry.h"\n',
}


def check(extra):
    with tempfile.TemporaryDirectory() as src:
        for path, text in {**BASE, **extra}.items():
            os.makedirs(os.path.join(src, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(src, path), 'w', encoding='utf-8') as f:
                f.write(text)
        run = subprocess.run([sys.executable, SCRIPT, src], capture_output=True, text=True, check=False)
        return run.returncode, run.stdout.splitlines()


class EditorCoreRules(unittest.TestCase):
    def assertFaults(self, extra, expected):
        code, lines = check(extra)
        self.assertEqual(lines, expected)
        self.assertEqual(code, 1 if expected else 0)

    def test_the_core_over_the_lower_layers_is_clean(self):
        self.assertFaults({'editor/core/paint.cpp': '#include "editor/core/geometry.h"\n#include <cmath>\n'}, [])

    def test_the_core_may_not_include_the_window_layers(self):
        self.assertFaults({'editor/core/paint.cpp': '#include "editor/main_window.h"\n'},
                          ['editor/core/paint.cpp: the editor core may not include editor/main_window.h'])

    def test_only_a_windows_file_of_the_core_may_use_windows(self):
        self.assertFaults({'editor/core/fonts_win.cpp': '#include "support/windows_prelude.h"\n'}, [])
        self.assertFaults({'editor/core/fonts.cpp': '#include "support/windows_prelude.h"\n'},
                          ['editor/core/fonts.cpp: the editor core may not include support/windows_prelude.h'
                           ' (only a _win file may)'])
        self.assertFaults({'editor/core/fonts.cpp': '#include <Windows.h>\n'},
                          ['editor/core/fonts.cpp: the editor core reaches a Windows header'])

    def test_windows_through_a_core_header_counts(self):
        self.assertFaults({'editor/core/dc.h': '#include <commctrl.h>\n',
                           'editor/core/paint.cpp': '#include "editor/core/dc.h"\n'},
                          ['editor/core/dc.h: the editor core reaches a Windows header',
                           'editor/core/paint.cpp: the editor core reaches a Windows header'])

    def test_no_file_of_the_core_may_use_x11(self):
        self.assertFaults({'editor/core/fonts_win.cpp': '#include <X11/Xlib.h>\n'},
                          ['editor/core/fonts_win.cpp: the editor core reaches an X11 header'])

    def test_the_window_layers_keep_their_freedom(self):
        self.assertFaults({'editor/x11/view.cpp': '#include <X11/Xlib.h>\n#include "editor/core/geometry.h"\n'},
                          [])


if __name__ == '__main__':
    unittest.main()
