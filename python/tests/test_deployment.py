"""dezov.Deployment: the resolver's answers on the shipped example."""

import pytest

import dezov
from conftest import EXAMPLES


@pytest.mark.parametrize("source", ["path", "store"])
def test_answers_the_example_questions(source):
    path = EXAMPLES / "deploy.xml"
    deployment = dezov.Deployment(path if source == "path" else dezov.XmlFile(path))
    assert deployment.scheme == 3
    assert deployment.trades("0101", "1") == ["TA_SH1", "TA_SH2"]
    assert deployment.trade("0101", "1") == "TA_SH1"
    assert deployment.trade("0101", "2") == "TA_SZ1"
    assert deployment.next_query("0101", "1", "TA_SH1") == "TA_SH2"
    assert deployment.next_query("0101", "1", "TA_SH2") is None
    assert deployment.history("0101", "20060315", "20060315") == "HA_2006"
    assert deployment.history("0201", "20050301", "20071231", "2005") == "HB_2007"
    assert deployment.domain("RQ", "20051201", "20060131") == "2005"
    assert deployment.domain("YYB", "0201") == "TB_SH1:TB_SZ1:HB_2007"
    assert deployment.domain("YYB", b"0201", first=True) == "TB_SH1"
    assert deployment.next_domain("RQ", "20050101", "2005", "20071231") == "2006"
    assert deployment.domain("YYB", "9999") is None


def test_a_missing_file_is_an_error_and_is_not_created(tmp_path):
    missing = tmp_path / "missing.xml"
    with pytest.raises(FileNotFoundError):
        dezov.Deployment(missing)
    assert not missing.exists()
