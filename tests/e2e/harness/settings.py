"""The program's settings file as the tests write and read it: one INI section, integers bare,
text in double quotes with the escapes that the file uses for what a line cannot hold
(\\" \\\\ \\n \\r \\t \\xHH)."""

import re
from dataclasses import dataclass

SECTION = "dovrel"

_SIMPLE = {'"': '"', "\\": "\\", "n": "\n", "r": "\r", "t": "\t"}


@dataclass(frozen=True)
class Unparsed:
    """A settings value that is neither quoted text nor a bare integer."""

    raw: str


def settings_value(value):
    """A value as the settings file holds it: integers bare, text in double quotes."""
    if isinstance(value, int):
        return str(value)
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def settings_text(values, section=SECTION):
    """An INI settings file with the given values in one section."""
    lines = [f"[{section}]"] + [f"{name}={settings_value(value)}" for name, value in values.items()]
    return "\n".join(lines) + "\n"


def unescape(quoted):
    """The text of a quoted value; None when it is not one, or holds an escape the file never
    writes."""
    if len(quoted) < 2 or quoted[0] != '"' or quoted[-1] != '"':
        return None
    out = []
    body = quoted[1:-1]
    position = 0
    while position < len(body):
        character = body[position]
        if character != "\\":
            out.append(character)
            position += 1
            continue
        following = body[position + 1:position + 2]
        if following in _SIMPLE:
            out.append(_SIMPLE[following])
            position += 2
        elif following == "x" and re.fullmatch(r"[0-9A-Fa-f]{2}", body[position + 2:position + 4]):
            out.append(chr(int(body[position + 2:position + 4], 16)))
            position += 4
        else:
            return None
    return "".join(out)


def typed_value(raw):
    """Quoted text as str, bare decimal as int, anything else as Unparsed, which compares
    unequal to both."""
    if len(raw) >= 2 and raw[0] == raw[-1] == '"':
        text = unescape(raw)
        return text if text is not None else Unparsed(raw)
    if re.fullmatch(r"-?[0-9]+", raw):
        return int(raw)
    return Unparsed(raw)


def _lines_of_section(text, section):
    """(line number, name, raw value) of every value line in the section, names lower-cased."""
    current = None
    # Lines end at "\n" alone, as the program splits them; a "\r" before it is a blank.
    for number, line in enumerate(text.split("\n"), 1):
        stripped = line.strip(" \t\r")
        if not stripped or stripped.startswith((";", "#")):
            continue
        if stripped.startswith("[") and stripped.endswith("]"):
            current = stripped[1:-1].strip().lower()
            continue
        name, equals, raw = stripped.partition("=")
        if current == section.lower():
            yield number, name.strip().lower() if equals else None, raw.strip(" \t\r"), stripped


def parse_settings(text, section=SECTION):
    """The program's section as a dict with lower-case names and typed values.

    Sections and names match without regard to case, as the program matches them; so a name
    that appears twice, in whatever case and whichever spelling of the section, is a fault of
    the file and fails here, as does a line of the section that is no value."""
    values = {}
    for number, name, raw, line in _lines_of_section(text, section):
        if name is None:
            raise AssertionError(f"settings line {number} is neither section nor value: {line!r}")
        if name in values:
            raise AssertionError(f"settings name {name!r} appears twice (line {number})")
        values[name] = typed_value(raw)
    return values


def stored_text(data, section, name):
    """The text stored under `name` in `section` of the file's bytes, as the program reads it
    (the first of a name, without regard to case); None when it is missing or not quoted text."""
    text = data.decode("utf-8", "surrogateescape")
    for _, key, raw, _ in _lines_of_section(text, section):
        if key == name.lower():
            return unescape(raw)
    return None
