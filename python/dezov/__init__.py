"""DeZov20's configuration stores and deployment resolver.

IniFile    an INI file that keeps its comments and unchanged lines byte for byte
XmlFile    an XML configuration file: sections and keys, paths, attributes, records
Deployment the deployment resolver: which server domain serves a request
Error      raised with the library's reason when it refuses or fails

Text crosses as str, encoded to and decoded from GBK; bytes pass unchanged.
"""

from ._dezov import (
    Deployment,
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
