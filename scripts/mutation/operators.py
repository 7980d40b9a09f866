"""Where a C++ file can be mutated, and how: every candidate mutant of one file, in source order.

Operators work on single lines of code (see source.MaskedSource): a mutant never spans lines, so
applying it and reporting it are both a column range on one line. They skip what would obviously
not compile or could not change behaviour: preprocessor lines, comments and literals, logging.
"""

import re
from dataclasses import asdict, dataclass

from .source import MaskedSource

COMPARE = "compare"
LOGICAL = "logical"
CONSTANT = "constant"
NEGATE = "negate"
REMOVE = "remove"
RETURN = "return"
OPERATORS = (COMPARE, LOGICAL, CONSTANT, NEGATE, REMOVE, RETURN)


@dataclass(frozen=True)
class Mutant:
    file: str  # relative to the work tree, with forward slashes
    line: int  # 1-based
    col: int  # 0-based, into the line's text
    operator: str
    original: str
    replacement: str

    def apply(self, text):
        lines = text.split("\n")
        line = lines[self.line - 1]
        end = self.col + len(self.original)
        if line[self.col : end] != self.original:
            raise ValueError(f"{self.file}:{self.line} no longer reads {self.original!r}")
        lines[self.line - 1] = line[: self.col] + self.replacement + line[end:]
        return "\n".join(lines)

    def change(self):
        return f"{self.original} -> {self.replacement}"

    def key(self):
        return (self.file, self.line, self.col, self.operator, self.original, self.replacement)

    def to_json(self):
        return asdict(self)

    @staticmethod
    def from_json(data):
        return Mutant(**{name: data[name] for name in Mutant.__dataclass_fields__})


_FLIPPED_COMPARISON = {"==": "!=", "!=": "==", "<": ">=", ">=": "<", ">": "<=", "<=": ">"}
# clang-format puts a binary operator between spaces, and never a template's angle brackets.
_COMPARISON = re.compile(r"(?<= )(==|!=|<=|>=|<|>)(?= )")
_LOGICAL = re.compile(r"(?<= )(&&|\|\|)(?= )")
_INTEGER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*)([uUlLzZ]*)(?![\w.'])")
_BOOLEAN = re.compile(r"\b(true|false)\b")
_CONDITION = re.compile(r"(?<![\w])(?:if|while) \(")
_ASSIGNMENT = re.compile(r"(?<![=!<>+\-*/%&|^])=(?!=)")
_LOGGING = re.compile(r"^(?:qC?(?:Debug|Info|Warning|Critical)|qFatal)\b")
_STATEMENT_START = re.compile(r"^(?:Q_EMIT\s+|emit\s+)?(?:::)?[A-Za-z_]\w*")
_DECLARATION = re.compile(r"^[\w:<>,*&\s]+?\s[*&]*\w+\s*(?:=|\(|\{|;|\[)")
_NOT_STATEMENTS = frozenset(
    "return break continue goto case default using typedef namespace template class struct enum union "
    "static_assert throw delete new friend public private protected else do if for while switch const "
    "constexpr static auto extern inline volatile unsigned signed int bool char double float long short "
    "void Q_UNUSED Q_DECLARE_LOGGING_CATEGORY Q_LOGGING_CATEGORY".split()
)
_BLOCK_HEADER = re.compile(r"^(?:\}\s*)?(?:else\b.*|(?:if|for|while)\s*\(.*\))$")
_GUARD_HEADER = re.compile(r"^(?:\}\s*)?(?:else\b|if\s*\(|&&|\|\|)")
_RETURN_STATEMENT = re.compile(r"^return\b[^;]*;$")
_EARLY_RETURN_SIGNATURE = re.compile(
    r"^(?:\[\[\w+\]\]\s*)?(?:(?:static|inline)\s+)*(void|bool)\s+[\w:~]+\s*\("
)


def find_mutants(path, text):
    """Every candidate mutant of one file's text, in line then column order."""
    source = MaskedSource(text)
    skipped = _skipped_lines(source)
    found = []
    for index, code in enumerate(source.code):
        if skipped[index]:
            continue
        line = source.lines[index]
        sites = []
        sites += _comparisons(code, line)
        sites += _logicals(code, line)
        sites += _constants(code, line)
        sites += _negations(code, line)
        sites += _removed_statement(source, index)
        sites += _removed_return(source, index)
        sites += _inserted_return(source, index)
        for col, operator, original, replacement in sorted(sites, key=lambda site: (site[0], site[1])):
            found.append(Mutant(path, index + 1, col, operator, original, replacement))
    return found


def _skipped_lines(source):
    """Preprocessor lines, blank ones, static assertions and every line of a logging statement."""
    skipped = []
    in_logging = False
    for index, code in enumerate(source.code):
        stripped = code.strip()
        if not in_logging and _LOGGING.match(stripped):
            in_logging = True
        skipped.append(
            in_logging or source.preprocessor[index] or not stripped or stripped.startswith("static_assert")
        )
        if in_logging and stripped.endswith(";"):
            in_logging = False
    return skipped


def _comparisons(code, line):
    return [
        (m.start(), COMPARE, m.group(1), _FLIPPED_COMPARISON[m.group(1)]) for m in _COMPARISON.finditer(code)
    ]


def _logicals(code, line):
    return [
        (m.start(), LOGICAL, m.group(1), "||" if m.group(1) == "&&" else "&&")
        for m in _LOGICAL.finditer(code)
    ]


def _constants(code, line):
    sites = []
    for m in _INTEGER.finditer(code):
        replacement = _plus_one(m.group(1))
        if replacement is not None:
            sites.append((m.start(), CONSTANT, m.group(1), replacement))
    for m in _BOOLEAN.finditer(code):
        sites.append((m.start(), CONSTANT, m.group(1), "false" if m.group(1) == "true" else "true"))
    return sites


def _plus_one(literal):
    digits = literal.replace("'", "")
    if digits[:2] in ("0x", "0X"):
        body = digits[2:]
        spelled = format(int(body, 16) + 1, "X" if body.upper() == body else "x")
        return digits[:2] + spelled.zfill(len(body))
    if digits[:2] in ("0b", "0B"):
        body = digits[2:]
        return digits[:2] + format(int(body, 2) + 1, "b").zfill(len(body))
    if len(digits) > 1 and digits.startswith("0"):
        return "0" + format(int(digits, 8) + 1, "o")
    return str(int(digits) + 1)


def _negations(code, line):
    sites = []
    for m in _CONDITION.finditer(code):
        open_paren = m.end() - 1
        close_paren = _matching_paren(code, open_paren)
        if close_paren is None:
            continue
        condition = code[open_paren + 1 : close_paren]
        if ";" in condition or _ASSIGNMENT.search(condition) or not condition.strip():
            continue
        original = line[open_paren : close_paren + 1]
        sites.append((open_paren, NEGATE, original, "(!" + original + ")"))
    return sites


def _matching_paren(code, open_paren):
    depth = 0
    for i in range(open_paren, len(code)):
        if code[i] == "(":
            depth += 1
        elif code[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return None


def _previous_code(source, index):
    for j in range(index - 1, -1, -1):
        stripped = source.code[j].strip()
        if stripped and not source.preprocessor[j]:
            return stripped
    return ""


def _balanced(code):
    return all(code.count(a) == code.count(b) for a, b in ("()", "[]", "{}"))


def _starts_statement(source, index):
    """Whether the statement on this line begins on it (its predecessor ended or opened a block)."""
    previous = _previous_code(source, index)
    return not previous or previous[-1] in ";{}:" or bool(_BLOCK_HEADER.match(previous))


def _statement_span(source, index):
    code = source.code[index]
    stripped = code.strip()
    col = len(code) - len(code.lstrip())
    end = len(code.rstrip())
    return col, source.lines[index][col:end], stripped


def _removed_statement(source, index):
    """An expression statement (a call, an assignment, a signal) that fits on its line, made empty."""
    col, original, stripped = _statement_span(source, index)
    if not stripped.endswith(";") or not _balanced(stripped) or not _starts_statement(source, index):
        return []
    start = _STATEMENT_START.match(stripped)
    if not start or start.group(0).split()[-1].lstrip(":") in _NOT_STATEMENTS:
        return []
    unsignalled = re.sub(r"^(?:Q_EMIT|emit)\s+", "", stripped)
    if _DECLARATION.match(unsignalled):
        return []
    return [(col, REMOVE, original, "{}")]


def _removed_return(source, index):
    """A return that opens an if's or an else's body: the guard no longer leaves early."""
    col, original, stripped = _statement_span(source, index)
    if not _RETURN_STATEMENT.match(stripped) or not _balanced(stripped):
        return []
    previous = _previous_code(source, index)
    if not previous.endswith(("{", ")")) and previous != "else" or not _GUARD_HEADER.match(previous):
        return []
    return [(col, RETURN, original, "{}")]


def _inserted_return(source, index):
    """A function returning void or bool leaves as soon as it is entered."""
    if source.code[index].rstrip() != "{":
        return []
    for j in range(index - 1, -1, -1):
        code = source.code[j]
        if code.strip() and not code[0].isspace():
            signature = _EARLY_RETURN_SIGNATURE.match(code)
            break
    else:
        return []
    if not signature:
        return []
    if signature.group(1) == "void":
        return [(0, RETURN, "{", "{ return;")]
    return [(0, RETURN, "{", "{ return false;"), (0, RETURN, "{", "{ return true;")]
