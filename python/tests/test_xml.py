# SPDX-License-Identifier: MIT
"""dezov.XmlFile: sections and keys, paths and attributes, records, GBK at the
boundary whatever the file's encoding, and the library's reasons for refusals
and failed writes."""

import errno
import gc

import pytest

import dezov
from conftest import file_size_limit


def test_reads_sections_keys_attributes_and_records(example):
    xml = dezov.XmlFile(example("stations.xml"))
    assert list(xml) == xml.sections() == ["SERVER", "STATIONS"]
    assert list(xml["SERVER"]) == ["Host", "Port", "Title"]
    assert list(xml["STATIONS"]) == ["Station"] and len(xml["STATIONS"]) == 1  # a list's name once
    assert xml["server"]["title"] == "交易网关"
    assert xml.get("SERVER", "Nope", "-") == "-" and "Nope" not in xml["SERVER"]
    assert xml["STATIONS"]["Station"] == ""  # a key without a value
    with pytest.raises(KeyError):
        xml["SERVER"]["Nope"]
    assert xml.get_attribute("STATIONS\\Station", "name", index=2) == "北京备用"
    assert xml.get_attribute("STATIONS\\Station", "nope", "?") == "?"
    assert xml.has_node("STATIONS\\Station", 2) and not xml.has_node("STATIONS\\Station", 3)

    assert [r["name"] for r in xml.records("STATIONS", "Station")] == ["上海一号", "深圳一号", "北京备用"]
    record = next(xml.records("STATIONS", "station"))
    assert (record.index, record.get("nope"), "host" in record) == (0, None, True)
    with pytest.raises(TypeError, match="attrs="):
        dict(record)  # type: ignore[call-overload]  # the library cannot list a record's attributes
    assert list(xml.records("STATIONS", "Station", attrs=["id", "port", "nope"]))[2] == {
        "id": "3",
        "port": "7709",
    }
    with pytest.raises(KeyError):
        xml.records("STATIONS", "Nope")


def test_changes_are_written_in_gbk_and_read_back(example):
    path = example("stations.xml")
    with dezov.XmlFile(path) as xml:
        xml["SERVER"]["Title"] = "备用网关"
        xml.set("SERVER", "Port", 8080)
        xml.set_attribute("STATIONS\\Station", "name", "广州一号", index=1)
        xml.append("STATIONS\\Station", {"id": 4, "name": "杭州一号", "load": 0.5})
        xml.remove("SERVER", "Host")
        xml.remove_attribute("STATIONS\\Station", "port")
        assert xml.modified
    text = path.read_bytes()
    assert "备用网关".encode("gbk") in text and b'encoding="gb2312"' in text
    xml = dezov.XmlFile(path)
    assert xml.keys("SERVER") == ["Port", "Title"]
    assert xml.get_bytes("SERVER", "Title") == "备用网关".encode("gbk")
    assert xml["SERVER"]["Port"] == "8080"
    rows = list(xml.records("STATIONS", "Station", ["id", "name", "port", "load"]))
    assert rows[0] == {"id": "1", "name": "上海一号"}
    assert rows[1]["name"] == "广州一号"
    assert rows[3] == {"id": "4", "name": "杭州一号", "load": "0.500000"}


def test_refusals_raise_with_the_reason_and_change_nothing(example):
    path = example("stations.xml")
    before = path.read_bytes()
    xml = dezov.XmlFile(path)
    with pytest.raises(dezov.RefusedError, match="cannot be stored in XML"):
        xml.set("SERVER", "Title", "bell\x07")
    with pytest.raises(dezov.RefusedError, match="refused the name"):
        xml.set("1st", "Key", "v")
    with pytest.raises(dezov.RefusedError, match="refused the name"):
        xml["1st"] = {"Key": "v"}
    with pytest.raises(KeyError, match="Title"):
        xml.set("SERVER", "Title", "second", index=1)  # only index 0 creates
    with pytest.raises(KeyError):
        xml.remove("Nope")
    assert xml["SERVER"]["Title"] == "交易网关" and not xml.modified
    xml.close()
    assert path.read_bytes() == before


def test_a_failed_save_raises_the_library_reason_and_keeps_the_file(example):
    path = example("stations.xml")
    before = path.read_bytes()
    xml = dezov.XmlFile(path)
    xml.set("SERVER", "Host", "10.9.9.9")
    with file_size_limit(64), pytest.raises(dezov.Error) as failure:
        xml.save()
    message = str(failure.value)
    assert (failure.value.errno, failure.value.filename) == (errno.EFBIG, str(path))
    assert str(path) in message and "File too large" in message
    assert message.endswith("(the file is unchanged)")
    assert path.read_bytes() == before


def test_opening_creating_and_ending(tmp_path):
    created = tmp_path / "new.xml"
    assert dezov.XmlFile(created).sections() == []  # created with the default document
    assert b"<vornini" in created.read_bytes()

    broken = tmp_path / "broken.xml"
    broken.write_bytes(b"<vornini><a></vornini>")
    with pytest.raises(dezov.Error) as failure:
        dezov.XmlFile(broken)
    assert str(broken) in str(failure.value) and failure.value.filename == str(broken)

    xml = dezov.XmlFile(created)
    xml.set("S", "K", "v")
    with pytest.warns(ResourceWarning, match="without saving"):
        del xml  # like the C++ store, never written at its end
        gc.collect()
    assert dezov.XmlFile(created).sections() == []


def test_a_utf8_document_is_read_and_written_whole_in_the_stores_encoding(tmp_path):
    path = tmp_path / "utf8.xml"
    path.write_bytes(
        '\ufeff<?xml version="1.0" encoding="UTF-8"?>\n<vornini><S><K Value="你好😀"/></S></vornini>\n'.encode()
    )
    with dezov.XmlFile(path) as xml:
        assert xml["S"]["K"] == "你好😀"
        xml["S"]["New"] = "再见"
    text = path.read_bytes()
    assert text.startswith(b'<?xml version="1.0" encoding="gb2312"') and "再见".encode("gbk") in text
    assert dict(dezov.XmlFile(path)["S"]) == {"K": "你好😀", "New": "再见"}


def test_comments_text_and_instructions_are_neither_sections_nor_keys(tmp_path):
    path = tmp_path / "mixed.xml"
    path.write_bytes(
        b'<?xml version="1.0" encoding="gb2312"?>\n<vornini><!-- c -->text<S>more<!-- c -->'
        b'<K Value="1"/><?pi x?><![CDATA[data]]><k Value="2"/></S><?pi y?></vornini>\n'
    )
    xml = dezov.XmlFile(path)
    assert list(xml) == ["S"] and list(xml["S"]) == ["K"] and dict(xml["S"]) == {"K": "1"}
