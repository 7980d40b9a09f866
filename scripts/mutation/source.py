"""C++ source as the mutation operators see it: code only, with comments, string and character
literals blanked out (columns and line breaks kept), and preprocessor lines marked."""

import re

_RAW_PREFIX = re.compile(r"(?:^|[^\w])(?:u8|u|U|L)?R$")
_PP_NUMBER_TAIL = re.compile(r"(?<![\w.])\d[\w'.]*$")


class MaskedSource:
    """The lines of one file, each with its code-only twin.

    `code[i]` has the same length as `lines[i]`; every character of a comment or of a literal's
    contents is a space there, so a pattern matched in `code[i]` is code at the same column of
    `lines[i]`. `preprocessor[i]` is true for a directive and for the lines it continues onto.
    """

    def __init__(self, text):
        self.text = text
        self.lines = text.split("\n")
        masked = _mask(text)
        self.code = masked.split("\n")
        self.preprocessor = _preprocessor_lines(self.code)

    def __len__(self):
        return len(self.lines)


def _mask(text):
    out = []
    i = 0
    n = len(text)

    def blank(s):
        return "".join("\n" if c == "\n" else " " for c in s)

    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            out.append(blank(text[i:end]))
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            out.append(blank(text[i:end]))
            i = end
        elif c == '"':
            if _RAW_PREFIX.search(text[max(0, i - 4) : i]):
                open_paren = text.find("(", i)
                delimiter = text[i + 1 : open_paren]
                close = text.find(")" + delimiter + '"', open_paren)
                end = n if close < 0 else close + len(delimiter) + 2
            else:
                end = _literal_end(text, i, '"')
            out.append('"' + blank(text[i + 1 : end - 1]) + '"')
            i = end
        elif c == "'" and not _PP_NUMBER_TAIL.search(text[max(0, i - 40) : i]):
            end = _literal_end(text, i, "'")
            out.append("'" + blank(text[i + 1 : end - 1]) + "'")
            i = end
        else:
            out.append(c)
            i += 1
    return "".join(out)


def _literal_end(text, start, quote):
    """Index just past the closing quote of the literal opening at `start`."""
    i = start + 1
    while i < len(text):
        if text[i] == "\\":
            i += 2
            continue
        if text[i] == quote or text[i] == "\n":
            return i + 1
        i += 1
    return len(text)


def _preprocessor_lines(code):
    marks = []
    continued = False
    for line in code:
        is_directive = continued or line.lstrip().startswith("#")
        marks.append(is_directive)
        continued = is_directive and line.rstrip().endswith("\\")
    return marks
