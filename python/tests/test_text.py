# SPDX-License-Identifier: MIT
"""Text at the module's boundary: the library's one GBK rule (code page 936,
with GB18030 four-byte forms for what it lacks) in both stores, giving the
same bytes as the command-line tool writes and reads."""

import os
import subprocess

import pytest

import dezov

def test_gb18030_four_byte_sequences_and_the_euro_sign_both_ways(example):
    # Python's "gbk" codec lacks all three: the library's code page 936 has 0x80
    # for the euro sign, and GB18030 four bytes for the others.
    forms = {"€": b"\x80", "ไ": "ไ".encode("gb18030"), "😀": b"\x94\x39\xfc\x36"}
    path = example("stations.xml")
    path.write_bytes(path.read_bytes().replace("交易网关".encode("gbk"), b"".join(forms.values())))
    with dezov.XmlFile(path) as xml:
        assert xml["SERVER"]["Title"] == "".join(forms)
        xml["SERVER"]["Title"] = "网关😀ไ€"
        xml.set_attribute("STATIONS\\Station", "name", "€😀")
    text = path.read_bytes()
    assert "网关".encode("gbk") + forms["😀"] + forms["ไ"] + b"\x80" in text
    assert b'name="\x80' + forms["😀"] + b'"' in text
    ini = dezov.IniFile(path.with_suffix(".ini"))
    ini.set("S", "K", "€😀")
    assert ini.get_bytes("S", "K") == b"\x80" + forms["😀"] and ini.get("S", "K") == "€😀"
    # Refused: no code page 936 form and a two-byte GB18030 one, or none at all.
    for refused in ("x⺁", "\ud800"):
        with pytest.raises(UnicodeEncodeError, match=r"in position %d" % (len(refused) - 1)):
            ini.set("S", "K", refused)
    ini.close(save=False)



@pytest.mark.skipif("DEZOV20_TOOL" not in os.environ, reason="needs the built tool (DEZOV20_TOOL)")
def test_the_tool_reads_what_the_module_writes_and_the_other_way_round(tmp_path):
    text = "张三€😀ไ\ue000"  # the euro sign, four-byte forms, and code page 936's user area

    def tool(*arguments):
        run = subprocess.run(
            [os.environ["DEZOV20_TOOL"], *arguments], capture_output=True, timeout=30,
            env={"PATH": os.environ["PATH"], "LC_ALL": "C.UTF-8"},  # a UTF-8 terminal
        )
        assert run.returncode == 0, run.stderr
        return run.stdout

    for kind, store in (("ini", dezov.IniFile), ("xml", dezov.XmlFile)):
        path = tmp_path / f"text.{kind}"
        with store(path) as opened:
            opened.set("S", "Module", text)
        tool(kind, str(path), "set", "S", "Tool", text)
        assert tool(kind, str(path), "get", "S", "Module") == f"{text}\n".encode()
        again = store(path)
        assert again["S"]["Tool"] == text
        assert again.get_bytes("S", "Tool") == again.get_bytes("S", "Module")
