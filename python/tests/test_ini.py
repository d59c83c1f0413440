# SPDX-License-Identifier: MIT
"""dezov.IniFile: byte-exact rewriting, what is a key and what is not, GBK and
UTF-8 files, errors with the library's reasons, and how an object's end maps
to the store's save."""

import errno
import sys

import pytest

import dezov
from conftest import file_size_limit


def test_one_change_rewrites_only_that_line(example):
    path = example("app.ini")
    before = path.read_bytes()
    with dezov.IniFile(path) as ini:
        ini["User"]["Name"] = "李四"
        assert ini.modified and ini.encoding == "gbk"
    assert path.read_bytes() == before.replace("Name=张三".encode("gbk"), "Name=李四".encode("gbk"))


def test_only_named_key_lines_are_keys_and_each_name_counts_once(tmp_path):
    path = tmp_path / "odd.ini"
    path.write_bytes(
        b"preamble text\n; comment\n[S]\n// comment\ntext without equals\n=no name\n"
        b"k=1\nK=2\n[s]\nk=3\n[T]\n"
    )
    ini = dezov.IniFile(path)
    assert list(ini) == ["S", "T"] and len(ini) == 2  # [s] is [S] again: the first wins
    assert list(ini["S"]) == ini.options("S") == ["k"] and len(ini["S"]) == 1
    assert ini["s"]["K"] == "1" and dict(ini["T"]) == {}
    assert "" not in ini["S"] and ini.get("S", "") is None and not ini.has_option("S", "")
    with pytest.raises(KeyError):
        ini["S"][""]
    with pytest.raises(dezov.RefusedError, match="without a name"):
        ini["S"][""] = "x"  # would overwrite the text line
    with pytest.raises(KeyError):
        ini.remove("S", "")
    assert not ini.modified


def test_text_is_gbk_both_ways_and_bytes_pass_unchanged(example):
    path = example("app.ini")
    ini = dezov.IniFile(path)
    ini.set("新节", "名字", "王五")
    ini.set(b"Raw", b"K", b"\x81\x7f")  # not GBK: stored as given
    ini.save()
    text = path.read_bytes()
    assert "[新节]\n名字=王五\n".encode("gbk") in text and b"K=\x81\x7f" in text
    again = dezov.IniFile(path)
    assert again.get_bytes("User", "Name") == "张三".encode("gbk")
    assert again["新节"]["名字"] == "王五"
    assert again.get_bytes("Raw", "K") == b"\x81\x7f"
    with pytest.raises(UnicodeDecodeError, match="offset 0"):
        again.get("Raw", "K")
    with pytest.raises(UnicodeEncodeError, match=r"'\\u2e81' in position 1"):
        again.set("User", "Name", "x⺁")  # GB18030's two bytes for it are not code page 936
    assert again.get("User", "Name") == "张三"


def test_utf8_files_are_read_and_written_as_utf8(tmp_path):
    marked = tmp_path / "marked.ini"
    marked.write_bytes("\ufeff[节]\n名=张三\n".encode("utf-8"))
    plain = tmp_path / "plain.ini"
    plain.write_bytes("[节]\n名=张三\n".encode("utf-8"))
    for path, encoding, mark in ((marked, "gbk", b"\xef\xbb\xbf"), (plain, "UTF8", b"")):
        with dezov.IniFile(path, encoding=encoding) as ini:  # a mark makes the file UTF-8
            assert ini.encoding == "utf-8" and ini["节"]["名"] == "张三"
            ini["节"]["新"] = "⺁€"  # no GBK form needed
        assert path.read_bytes() == mark + "[节]\n名=张三\n新=⺁€\n".encode("utf-8")
    with dezov.IniFile(marked) as ini:  # emptied (no mark on an empty file), then filled again
        del ini["节"]
        ini.save()
        assert marked.read_bytes() == b""
        ini["节"] = {"名": "李四"}
    assert marked.read_bytes() == "\ufeff[节]\n名=李四\n".encode("utf-8")
    assert dezov.IniFile(tmp_path / "new.ini", "cp936").encoding == "gbk"
    with pytest.raises(ValueError, match="'gbk' or 'utf-8', not 'latin-1'"):
        dezov.IniFile(plain, encoding="latin-1")
    with pytest.raises(LookupError):
        dezov.IniFile(plain, encoding="no-such-codec")


def test_a_file_whose_encoding_changed_on_disk_is_not_merged_into(tmp_path):
    path = tmp_path / "app.ini"
    path.write_bytes("[S]\nk=张三\n".encode("gbk"))
    ini = dezov.IniFile(path)
    ini["S"]["k"] = "李四"
    rewritten = "\ufeff[S]\nk=张三\nother=1\n".encode("utf-8")
    path.write_bytes(rewritten)  # another program rewrote it as UTF-8
    with pytest.raises(dezov.Error, match="with a UTF-8 byte-order mark since it was read"):
        ini.save()
    assert path.read_bytes() == rewritten and ini.modified
    ini.close(save=False)


def test_empty_sections_survive_a_save_merged_with_changes_on_disk(example):
    path = example("app.ini")
    ini = dezov.IniFile(path)
    ini.add_section("Empty")
    ini["Emptied"] = {}
    with dezov.IniFile(path) as other:  # changes the file meanwhile
        other["User"]["Name"] = "李四"
    ini.save()
    assert not ini.modified
    again = dezov.IniFile(path)
    assert again.sections() == ["Server", "User", "Empty", "Emptied"]
    assert again["User"]["Name"] == "李四" and dict(again["Empty"]) == {}


def test_a_value_either_reads_back_as_set_or_is_refused(tmp_path):
    path = tmp_path / "values.ini"
    values = {"url": "http://host/x", "spaced": "  a  b  ", "semicolon": "a;b", "hash": "#x"}
    stored = {}
    with dezov.IniFile(path) as ini:
        for key, value in values.items():
            try:
                ini.set("S", key, value)
                stored[key] = value
            except dezov.RefusedError:
                pass
    again = dezov.IniFile(path)
    assert {key: again["S"][key] for key in stored} == {
        key: value.strip() for key, value in stored.items()  # values are trimmed, as configparser does
    }


def test_remove_keys_and_sections(example):
    path = example("app.ini")
    with dezov.IniFile(path) as ini:
        del ini["Server"]["Backup"]
        ini.remove("User")
    ini = dezov.IniFile(path)
    assert ini.sections() == ["Server"] and ini.keys("Server") == ["Host", "Port"]


def test_a_failed_save_raises_the_library_reason_and_keeps_the_file(example):
    path = example("app.ini")
    before = path.read_bytes()
    ini = dezov.IniFile(path)
    ini.set("User", "Name", "李四")
    with file_size_limit(64), pytest.raises(dezov.Error) as failure:
        ini.save()
    assert isinstance(failure.value, OSError) and not isinstance(failure.value, ValueError)
    assert (failure.value.errno, failure.value.filename) == (errno.EFBIG, str(path))
    assert str(path) in str(failure.value) and "File too large" in str(failure.value)
    assert str(failure.value).endswith("(the file is unchanged)")
    assert path.read_bytes() == before
    assert ini.modified  # kept for another try
    ini.save()
    assert dezov.IniFile(path)["User"]["Name"] == "李四"


def test_how_an_ini_file_ends(example, monkeypatch):
    path = example("app.ini")
    with pytest.raises(RuntimeError):
        with dezov.IniFile(path) as ini:
            ini.set("User", "Name", "discarded")
            raise RuntimeError
    ini = dezov.IniFile(path)
    ini.set("User", "Name", "discarded too")
    ini.close(save=False)
    assert ini.closed
    with pytest.raises(ValueError, match="closed"):
        ini.get("User", "Name")
    assert dezov.IniFile(path)["User"]["Name"] == "张三"

    ini = dezov.IniFile(path)
    ini.set("User", "Name", "saved at the end")
    del ini  # as the C++ store does in its destructor
    assert dezov.IniFile(path)["User"]["Name"] == "saved at the end"

    reports: list = []
    monkeypatch.setattr(sys, "unraisablehook", reports.append)
    ini = dezov.IniFile(path)
    ini.set("User", "Name", "cannot be written")
    with file_size_limit(64):
        del ini
    assert len(reports) == 1 and isinstance(reports[0].exc_value, dezov.Error)
    assert "File too large" in str(reports[0].exc_value)
    assert reports[0].exc_value.filename == str(path)


def test_paths_and_missing_files(tmp_path):
    created = tmp_path / "new.ini"
    with dezov.IniFile(str(created).encode()) as ini:  # bytes and PathLike paths are accepted
        assert ini.sections() == [] and ini.path == str(created)
    assert created.exists()
    missing = tmp_path / "no" / "such.ini"
    with pytest.raises(dezov.Error) as failure:
        dezov.IniFile(missing)
    assert (failure.value.errno, failure.value.filename) == (errno.ENOENT, str(missing))
    assert "No such file or directory" in str(failure.value)
    with pytest.raises(TypeError):
        dezov.IniFile(42)  # type: ignore[arg-type]
