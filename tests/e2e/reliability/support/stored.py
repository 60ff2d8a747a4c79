"""Reads a text value back out of the program's settings file with the escapes that the file
uses for what a line cannot hold (\\" \\\\ \\n \\r \\t \\xHH), which the harness's reader, made for
plain values, does not undo."""

import re

_SIMPLE = {'"': '"', "\\": "\\", "n": "\n", "r": "\r", "t": "\t"}


def unescape(quoted):
    """The text of a quoted value; None when it is not one."""
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


def stored_text(data, section, name):
    """The text stored under `name` in `section` of the file's bytes (names without regard to
    case, as the program reads them); None when it is missing or not quoted text."""
    current = None
    for line in data.decode("utf-8", "surrogateescape").split("\n"):
        stripped = line.strip(" \t\r")
        if stripped.startswith("[") and stripped.endswith("]"):
            current = stripped[1:-1].strip().lower()
            continue
        key, equals, value = line.partition("=")
        if equals and current == section.lower() and key.strip().lower() == name.lower():
            return unescape(value.strip(" \t\r"))
    return None
