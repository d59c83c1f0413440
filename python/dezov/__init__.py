# SPDX-License-Identifier: MIT
"""DeZov20's configuration stores and deployment resolver.

IniFile          an INI file that keeps its comments and unchanged lines byte for byte
XmlFile          an XML configuration file: sections and keys, paths, attributes, records
Deployment       the deployment resolver: which server domain serves a request
DeploymentWatch  a deployment that follows its file (Deployment.watch(path))
Error            an OSError: a file could not be read or written (the library's reason)
RefusedError     an Error and a ValueError: the library refused a name or a value

IniFile and XmlFile, and their sections, are mutable mappings used as
configparser's are. Text crosses as str, converted by the library's GBK rule
(code page 936 with GB18030 four-byte forms), or as UTF-8 for INI files that
are UTF-8; bytes pass unchanged.
"""

from . import _mapping
from ._dezov import (
    Deployment,
    DeploymentWatch,
    Error,
    IniFile,
    IniSection,
    Record,
    RecordIterator,
    RefusedError,
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
    "RefusedError",
    "XmlFile",
    "XmlSection",
]

_mapping.complete(files=(IniFile, XmlFile), sections=(IniSection, XmlSection))

# The classes are documented as members of this package.
for _name in __all__:
    globals()[_name].__module__ = __name__
del _name
