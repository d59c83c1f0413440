# SPDX-License-Identifier: MIT
"""What makes the files and their sections mutable mappings as configparser's
parser and section proxies are: the mapping methods the extension does not
define itself, and the typed getters with configparser's rules."""

import collections.abc
import configparser

_UNSET = object()
_MIXED_IN = ("items", "values", "pop", "popitem", "clear", "update", "setdefault")
_BOOLEAN_STATES = configparser.RawConfigParser.BOOLEAN_STATES


def _boolean(text):
    """configparser's boolean words, in any case: 1/yes/true/on and 0/no/false/off."""
    try:
        return _BOOLEAN_STATES[text.lower()]
    except KeyError:
        raise ValueError(f"Not a boolean: {text}") from None


def _file_getter(name, convert, kind):
    def getter(self, section, option, *, fallback=_UNSET):
        try:
            text = self[section][option]
        except KeyError:
            if fallback is _UNSET:
                raise
            return fallback
        return convert(text)

    getter.__doc__ = (
        f"{name}(section, option, *, fallback) -> {kind} | fallback\n\n"
        f"The value read as {kind} as configparser reads it (ValueError when it is\n"
        "not one); fallback when the section or key is missing, else KeyError."
    )
    getter.__name__ = getter.__qualname__ = name
    return getter


def _section_getter(name, convert, kind):
    def getter(self, option, fallback=None):
        try:
            text = self[option]
        except KeyError:
            return fallback
        return convert(text)

    getter.__doc__ = (
        f"{name}(option, fallback=None) -> {kind} | fallback\n\n"
        f"The value read as {kind} as configparser reads it (ValueError when it is\n"
        "not one), or fallback when the key is missing."
    )
    getter.__name__ = getter.__qualname__ = name
    return getter


_GETTERS = (("getint", int, "int"), ("getfloat", float, "float"), ("getboolean", _boolean, "bool"))


def complete(files, sections):
    """Registers the classes as mutable mappings and adds what they lack."""
    for cls in files + sections:
        names = _MIXED_IN if cls in files else _MIXED_IN + ("keys",)
        for name in names:
            setattr(cls, name, getattr(collections.abc.MutableMapping, name))
        make = _file_getter if cls in files else _section_getter
        for name, convert, kind in _GETTERS:
            setattr(cls, name, make(name, convert, kind))
        collections.abc.MutableMapping.register(cls)
