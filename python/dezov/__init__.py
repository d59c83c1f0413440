"""DeZov20's configuration stores and deployment resolver.

IniFile          an INI file that keeps its comments and unchanged lines byte for byte
XmlFile          an XML configuration file: sections and keys, paths, attributes, records
Deployment       the deployment resolver: which server domain serves a request
DeploymentWatch  a deployment that follows its file (Deployment.watch(path))
Error            raised with the library's reason when it refuses or fails

Text crosses as str, encoded to and decoded from GBK (GB18030 four-byte
sequences for characters GBK lacks); bytes pass unchanged.
"""

from ._dezov import (
    Deployment,
    DeploymentWatch,
    Error,
    IniFile,
    IniSection,
    Record,
    RecordIterator,
    XmlFile,
    XmlSection,
)

__all__ = [
    "Deployment",
    "DeploymentWatch",
    "Error",
    "IniFile",
    "IniSection",
    "Record",
    "RecordIterator",
    "XmlFile",
    "XmlSection",
]

# The classes are documented as members of this package.
for _name in __all__:
    globals()[_name].__module__ = __name__
del _name
