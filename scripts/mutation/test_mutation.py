"""Guards against mutants that land in comments, literals or declarations, against a sample that
changes between runs, and against a work tree left changed.

    cd scripts && python3 -m unittest mutation.test_mutation
"""

import json
import os
import tempfile
import unittest
from pathlib import Path

from .operators import find_mutants
from .report import differences, killed_again, tally
from .source import MaskedSource
from .suites import LAYERS, SUITES, suites_for
from .worktree import FileGuard


def changes(text):
    return sorted((m.line, m.operator, m.original, m.replacement) for m in find_mutants("src/x/A.cpp", text))


class MaskTest(unittest.TestCase):
    CASES = [
        # (source line, what the operators may see)
        ('f("a == b"); // x < y', 'f("      ");         '),
        ("c = '\\'';", "c = '  ';"),
        ("n = 60'000;", "n = 60'000;"),
        ('s = R"(a "b" == c)";', 's = R"            ";'),
        ("a /* == */ == b", "a          == b"),
    ]

    def test_comments_and_literals_are_blanked_in_place(self):
        for line, code in self.CASES:
            with self.subTest(line=line):
                self.assertEqual(MaskedSource(line).code, [code])

    def test_preprocessor_lines_and_their_continuations_are_marked(self):
        source = MaskedSource("#define A(x) \\\n  (x == 1)\nint a = 1;")
        self.assertEqual(source.preprocessor, [True, True, False])


class OperatorTest(unittest.TestCase):
    CASES = [
        ("if (a == b)\n", [(1, "compare", "==", "!="), (1, "negate", "(a == b)", "(!(a == b))")]),
        ("x = a < b;\n", [(1, "compare", "<", ">="), (1, "remove", "x = a < b;", "{}")]),
        (
            "y = a >= b && c;\n",
            [(1, "compare", ">=", "<"), (1, "logical", "&&", "||"), (1, "remove", "y = a >= b && c;", "{}")],
        ),
        ("std::vector<int> v{a << 3};\n", [(1, "constant", "3", "4")]),
        (
            "auto f = [](int &&x) -> bool { return x > 0; };\n",
            [(1, "compare", ">", "<="), (1, "constant", "0", "1")],
        ),
        (
            "k = 0x0F + 07 + 0b1 + 2u;\n",
            [
                (1, "constant", "07", "010"),
                (1, "constant", "0b1", "0b10"),
                (1, "constant", "0x0F", "0x10"),
                (1, "constant", "2", "3"),
                (1, "remove", "k = 0x0F + 07 + 0b1 + 2u;", "{}"),
            ],
        ),
        ("double d = 1.5e3;\nbool t = true;\n", [(2, "constant", "true", "false")]),
        (
            'qCWarning(lc) << "x" << n + 1\n    << 2;\nfoo(1);\n',
            [(3, "constant", "1", "2"), (3, "remove", "foo(1);", "{}")],
        ),
        ("#if X == 1\n#endif\n", []),
        ("if (auto p = find())\n    go();\n", [(2, "remove", "go();", "{}")]),
        (
            "QByteArray out;\nint n = f(2);\nQ_EMIT done(n);\n",
            [(2, "constant", "2", "3"), (3, "remove", "Q_EMIT done(n);", "{}")],
        ),
        ("call(a,\n     b(c));\n", []),
        (
            "if (ready) {\n    return 3;\n}\n",
            [
                (1, "negate", "(ready)", "(!(ready))"),
                (2, "constant", "3", "4"),
                (2, "return", "return 3;", "{}"),
            ],
        ),
        ("int f()\n{\n    return 3;\n}\n", [(3, "constant", "3", "4")]),
        ("void A::f(int x)\n{\n}\n", [(2, "return", "{", "{ return;")]),
        (
            "bool A::f(int x,\n          int y) const\n{\n}\n",
            [(3, "return", "{", "{ return false;"), (3, "return", "{", "{ return true;")],
        ),
        (
            "while (n != 0)\n    --n;\n",
            [(1, "compare", "!=", "=="), (1, "constant", "0", "1"), (1, "negate", "(n != 0)", "(!(n != 0))")],
        ),
    ]

    def test_each_operator_finds_its_sites_and_nothing_else(self):
        for text, expected in self.CASES:
            with self.subTest(text=text):
                self.assertEqual(changes(text), sorted(expected))

    def test_a_mutant_changes_only_its_column_range(self):
        text = "a = b == c;\nd = e == f;\n"
        second = [m for m in find_mutants("src/x/A.cpp", text) if m.line == 2 and m.operator == "compare"][0]
        self.assertEqual(second.apply(text), "a = b == c;\nd = e != f;\n")

    def test_a_mutant_refuses_a_line_that_changed(self):
        mutant = find_mutants("src/x/A.cpp", "a = b == c;\n")[0]
        with self.assertRaises(ValueError):
            mutant.apply("a = b <= c;\n")


def result(file, status, line=1):
    return {
        "file": file,
        "line": line,
        "col": 0,
        "operator": "compare",
        "original": "==",
        "replacement": "!=",
        "status": status,
    }


class ReportTest(unittest.TestCase):
    def test_the_score_leaves_out_uncompilable_mutants(self):
        rows = tally([result("src/a/X.cpp", s) for s in ("killed", "killed", "survived", "uncompilable")])
        self.assertEqual(
            rows["src/a"], {"mutants": 4, "killed": 2, "survived": 1, "uncompilable": 1, "score": 66.7}
        )
        self.assertEqual(rows["total"]["mutants"], 4)

    def test_a_mutant_killed_before_and_surviving_now_is_a_regression(self):
        old = {"mutants": [result("src/a/X.cpp", "killed", 1), result("src/a/X.cpp", "survived", 2)]}
        new = {"mutants": [result("src/a/X.cpp", "survived", 1), result("src/a/X.cpp", "survived", 2)]}
        lines = differences(old, new)
        self.assertIn("2 mutants in common, 1 changed verdict", lines[0])
        self.assertEqual(len(lines), 2)
        self.assertIn("regression: src/a/X.cpp:1", lines[1])

    def test_again_takes_only_what_was_killed_and_counts_what_is_gone(self):
        found = find_mutants("src/a/X.cpp", "bool f(int a) { return a == 1; }\n")
        killed = [m for m in found if m.operator == "compare"]
        self.assertEqual(len(killed), 1)
        old = {"mutants": [dict(killed[0].to_json(), status="killed"), result("src/a/Gone.cpp", "killed", 9)]}
        old["mutants"] += [dict(m.to_json(), status="survived") for m in found if m.operator != "compare"]
        chosen, gone = killed_again(found, old)
        self.assertEqual([m.key() for m in chosen], [killed[0].key()])
        self.assertEqual(gone, 1)


class LayerTest(unittest.TestCase):
    def test_every_folder_of_src_is_judged_by_suites_that_exist(self):
        src = Path(__file__).resolve().parents[2] / "src"
        folders = sorted(p.name for p in src.iterdir() if p.is_dir())
        self.assertEqual(sorted(LAYERS), folders)
        for folder in folders:
            with self.subTest(folder=folder):
                names = [s.name for s in suites_for(f"src/{folder}/X.cpp")]
                self.assertTrue(names)
                self.assertTrue(set(names) <= set(SUITES))
                self.assertEqual(len(names), len(set(names)))


class FileGuardTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = Path(self.dir.name)
        (self.root / "src").mkdir()
        self.state = self.root / "state"
        self.state.mkdir()
        self.source = self.root / "src" / "A.cpp"
        self.source.write_bytes(b"int a = 1;\n")
        os.utime(self.source, ns=(1_000_000_000, 2_000_000_000))
        self.obj = self.root / "A.cpp.o"
        self.obj.write_bytes(b"object")

    def tearDown(self):
        self.dir.cleanup()

    def guard(self):
        return FileGuard(
            self.root, self.state, lambda relative: [self.obj] if relative == "src/A.cpp" else []
        )

    def assert_restored(self):
        self.assertEqual(self.source.read_bytes(), b"int a = 1;\n")
        self.assertEqual(self.source.stat().st_mtime_ns, 2_000_000_000)
        self.assertFalse(self.obj.exists(), "the mutants tree would keep the mutant's object")
        self.assertEqual(sorted(p.name for p in self.state.iterdir()), [])

    def test_restore_puts_back_bytes_and_time_and_drops_the_object(self):
        guard = self.guard()
        guard.apply("src/A.cpp", b"int a = 2;\n")
        self.assertEqual(self.source.read_bytes(), b"int a = 2;\n")
        self.assertEqual(json.loads((self.state / "backup.json").read_text())["file"], "src/A.cpp")
        guard.restore()
        self.assert_restored()
        guard.restore()
        self.assert_restored()

    def test_a_killed_run_is_put_back_by_the_next(self):
        self.guard().apply("src/A.cpp", b"int a = 2;\n")
        self.assertEqual(self.guard().recover(), "src/A.cpp")
        self.assert_restored()
        self.assertIsNone(self.guard().recover())


if __name__ == "__main__":
    unittest.main()
