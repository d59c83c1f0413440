# SPDX-License-Identifier: MIT
"""What IniFile and XmlFile share: both are used as configparser's parser is,
the same content answering the same way in either store, and the typed getters
reading values as configparser itself reads them."""

import collections.abc
import configparser
import operator
import pathlib
from typing import Callable

import pytest

import dezov

CONTENT = {
    "Server": {"Host": "10.0.0.5", "Port": "7708", "Debug": "Yes", "Ratio": "0.25", "Name": "张三"},
    "Limits": {"Count": "-3", "Flag": "off", "Big": "1e3", "Word": "maybe", "Empty": ""},
}


def ini_text(content):
    return "".join(
        f"[{section}]\n" + "".join(f"{key}={value}\n" for key, value in keys.items())
        for section, keys in content.items()
    )


def xml_text(content):
    sections = "".join(
        f"<{section}>" + "".join(f'<{key} Value="{value}"/>' for key, value in keys.items())
        + f"</{section}>"
        for section, keys in content.items()
    )
    return f'<?xml version="1.0" encoding="gb2312"?>\n<vornini>{sections}</vornini>\n'


@pytest.fixture(params=["ini", "xml"])
def path(request, tmp_path):
    """The CONTENT in a file of either kind."""
    path = tmp_path / f"store.{request.param}"
    path.write_bytes((ini_text if request.param == "ini" else xml_text)(CONTENT).encode("gbk"))
    return path


def open_store(path: pathlib.Path) -> dezov.IniFile | dezov.XmlFile:
    return dezov.IniFile(path) if path.suffix == ".ini" else dezov.XmlFile(path)


def as_dict(store):
    return {name: dict(section) for name, section in store.items()}


def test_a_store_reads_as_a_mapping(path):
    store = open_store(path)
    assert isinstance(store, collections.abc.MutableMapping)
    assert isinstance(store["Server"], collections.abc.MutableMapping)
    assert list(store) == store.sections() == list(store.keys()) == ["Server", "Limits"]
    assert as_dict(store) == CONTENT and len(store) == 2 and len(store["Limits"]) == 5
    assert "server" in store and "Nope" not in store  # names ignore the case of A-Z
    assert store["server"]["PORT"] == "7708" and "port" in store["Server"]
    assert store.options("Limits") == store.keys("Limits") == list(CONTENT["Limits"])
    assert store.has_section("Limits") and store.has_option("server", "PORT")
    assert not store.has_option("Nope", "Port") and not store.has_option("Server", "Nope")
    assert store["Limits"]["Empty"] == "" and store.get("Limits", "Empty", "d") == ""
    assert store.get("Server", "Nope") is None and store["Server"].get("Nope") is None
    assert store.get("Server", "Nope", "d") == "d" and store.get("Server", "Nope", fallback=0) == 0
    assert store["Server"].get("Nope", fallback=1) == 1 and store.get("Nope", "Port", "d") == "d"


def test_missing_names_raise_key_error_naming_them(path):
    store = open_store(path)
    section = store["Server"]
    missing: dict[str, list[Callable[[], object]]] = {
        "Nope": [
            lambda: store["Nope"], lambda: section["Nope"], lambda: store.options("Nope"),
            lambda: store.keys("Nope"), lambda: operator.delitem(store, "Nope"),
            lambda: operator.delitem(section, "Nope"), lambda: store.getint("Nope", "Port"),
            lambda: store.getint("Server", "Nope"), lambda: store.remove("Server", "Nope"),
        ],
        "New": [lambda: store["New"]["Key"]],  # a section is added with keys, not by a lookup
    }
    for name, calls in missing.items():
        for call in calls:
            with pytest.raises(KeyError) as error:
                call()
            assert error.value.args == (name,)
    del store["Server"]
    with pytest.raises(KeyError, match="Server"):
        section["Port"]  # a view of a section that is gone
    assert not store.modified or "Server" not in store


def outcome(call):
    try:
        return call()
    except ValueError:
        return ValueError


def test_typed_getters_read_values_as_configparser_does(path):
    store = open_store(path)
    parser = configparser.ConfigParser()
    parser.read_string(ini_text(CONTENT))
    for section, keys in CONTENT.items():
        for key in keys:
            for getter in ("getint", "getfloat", "getboolean"):
                expected = outcome(lambda: getattr(parser, getter)(section, key))
                assert outcome(lambda: getattr(store, getter)(section, key)) == expected
                assert outcome(lambda: getattr(store[section], getter)(key)) == expected
    assert store.getboolean("Server", "Nope", fallback="x") == "x"  # a fallback is not converted
    assert store["Server"].getint("Nope") is None and store["Server"].getfloat("Nope", 1) == 1


def test_changes_through_the_mapping_are_saved(path):
    with open_store(path) as store:
        store["New"] = {"Int": 7, "Yes": True, "No": False, "Float": 0.1, "Text": "李四", "Raw": b"\xc0\xee"}
        store["Server"]["Added"] = 1.5
        store["Server"]["port"] = 9090  # the first matching key keeps its name and place
        del store["Server"]["Ratio"]
        store["Server"].update(Host="h")
        assert store["Server"].pop("Debug") == "Yes"
        store["Limits"] = {"Count": "4", "Extra": "e"}  # replaces the keys
        store.add_section("Empty")
        with pytest.raises(dezov.RefusedError, match="exists"):
            store.add_section("empty")
        store.update({"Other": {"K": "v"}})
        store.set("Set", "K", 1)  # set adds the section as well
        assert store.modified
    again = open_store(path)
    assert as_dict(again) == {
        "Server": {"Host": "h", "Port": "9090", "Name": "张三", "Added": "1.5"},
        "Limits": {"Count": "4", "Extra": "e"},
        "New": {"Int": "7", "Yes": "true", "No": "false", "Float": "0.1", "Text": "李四", "Raw": "李"},
        "Empty": {},
        "Other": {"K": "v"},
        "Set": {"K": "1"},
    }
    assert again.getboolean("New", "Yes") is True and again.getfloat("New", "Float") == 0.1
    assert again.getboolean("New", "No") is False and again["New"].getint("Int") == 7

    with again:
        del again["Empty"], again["Other"]
        again["Limits"] = {}  # emptied, kept
        again["New"].clear()
    assert as_dict(open_store(path)) == {
        "Server": {"Host": "h", "Port": "9090", "Name": "张三", "Added": "1.5"},
        "Limits": {},
        **({"New": {}} if path.suffix == ".xml" else {}),  # INI: a section goes with its last key
        "Set": {"K": "1"},
    }


def test_refusals_change_nothing(path):
    before = path.read_bytes()
    store = open_store(path)
    refused = "two\nlines" if path.suffix == ".ini" else "bell\x07"
    with pytest.raises(dezov.RefusedError) as error:
        store["Limits"] = {"Count": "5", "Bad": refused}
    assert isinstance(error.value, ValueError) and isinstance(error.value, dezov.Error)
    assert error.value.errno is None
    with pytest.raises(dezov.RefusedError):
        store["Server"]["Bad"] = refused
    with pytest.raises(TypeError, match="values must be"):
        store["Server"]["Port"] = [1]
    with pytest.raises(TypeError, match="values must be"):
        store["New"] = {"Key": None}
    with pytest.raises(TypeError, match="section names must be"):
        store[1] = {}
    with pytest.raises(ValueError, match="null"):
        store["Server"]["Port"] = "a\0b"  # would be cut at the NUL
    assert not store.modified and as_dict(store) == CONTENT
    store.close()
    assert path.read_bytes() == before
