"""dezov.IniFile: mapping access, GBK at the boundary, errors with reasons,
byte-exact rewriting, and how an object's end maps to the store's save."""

import sys

import pytest

import dezov
from conftest import file_size_limit


def test_reads_the_example_as_a_mapping(example):
    ini = dezov.IniFile(example("app.ini"))
    assert list(ini) == ini.sections() == ["Server", "User"]
    assert list(ini["Server"]) == ini.keys("server") == ["Host", "Port", "Backup"]
    assert ini["User"]["Name"] == "张三"
    assert ini["server"]["PORT"] == "7708"  # names ignore the case of A-Z; comment cut off
    assert ini["User"].items()[1] == ("Branches", "0101;0102;0201")
    assert "User" in ini and "Name" in ini["User"] and "Theme" not in ini["User"]
    assert ini.get("User", "Theme") is None and ini.get("User", "Theme", "dark") == "dark"
    assert ini["User"].get("Name") == "张三"
    assert len(ini) == 2 and len(ini["Server"]) == 3
    for missing in (lambda: ini["Nope"], lambda: ini["User"]["Theme"], lambda: ini.keys("Nope")):
        with pytest.raises(KeyError):
            missing()


def test_one_change_rewrites_only_that_line(example):
    path = example("app.ini")
    before = path.read_bytes()
    with dezov.IniFile(path) as ini:
        ini["User"]["Name"] = "李四"
        assert ini.modified
    assert path.read_bytes() == before.replace("Name=张三".encode("gbk"), "Name=李四".encode("gbk"))


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
    with pytest.raises(UnicodeDecodeError):
        again.get("Raw", "K")


def test_refusals_raise_and_change_nothing(example):
    path = example("app.ini")
    before = path.read_bytes()
    ini = dezov.IniFile(path)
    with pytest.raises(UnicodeEncodeError, match=r"'\\u2e81'"):
        ini.set("User", "Name", "⺁")  # GB18030's two bytes for it are not code page 936
    with pytest.raises(dezov.Error, match=r"cannot store \[User\] Name: the line would not"):
        ini.set("User", "Name", "two\nlines")
    with pytest.raises(ValueError, match="null"):
        ini.set("User", "Name", "a\0b")  # would be cut at the NUL
    with pytest.raises(TypeError):
        ini.set("Server", "Port", 9090)
    with pytest.raises(KeyError):
        ini.remove("User", "Theme")
    with pytest.raises(KeyError):
        ini.remove("Nope")
    assert not ini.modified
    ini.close()
    assert path.read_bytes() == before


def test_remove_keys_and_sections(example):
    path = example("app.ini")
    with dezov.IniFile(path) as ini:
        del ini["Server"]["Backup"]
        ini.remove("User")
    ini = dezov.IniFile(path)
    assert ini.sections() == ["Server"] and ini.keys("Server") == ["Host", "Port"]


def test_a_failed_save_raises_and_keeps_the_file(example):
    path = example("app.ini")
    before = path.read_bytes()
    ini = dezov.IniFile(path)
    ini.set("User", "Name", "李四")
    with file_size_limit(64), pytest.raises(dezov.Error) as failure:
        ini.save()
    assert str(failure.value) == f"cannot write {path} (the file is unchanged)"
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

    reports = []
    monkeypatch.setattr(sys, "unraisablehook", reports.append)
    ini = dezov.IniFile(path)
    ini.set("User", "Name", "cannot be written")
    with file_size_limit(64):
        del ini
    assert [str(r.exc_value) for r in reports] == [f"cannot write {path} (the file is unchanged)"]
    assert isinstance(reports[0].exc_value, dezov.Error)


def test_paths_and_missing_files(tmp_path):
    created = tmp_path / "new.ini"
    with dezov.IniFile(str(created).encode()) as ini:  # bytes and PathLike paths are accepted
        assert ini.sections() == [] and ini.path == str(created)
    assert created.exists()
    with pytest.raises(dezov.Error, match="cannot read or create"):
        dezov.IniFile(tmp_path / "no" / "such.ini")
    with pytest.raises(TypeError):
        dezov.IniFile(42)
