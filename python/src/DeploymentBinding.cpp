// SPDX-License-Identifier: MIT
// dezov.Deployment over CKdDeploy: the resolver loaded from an XML
// configuration file (or a snapshot of a watch), answering which domain serves
// a request.
#include <pybind11/stl.h>

#include <sys/stat.h>

#include <cerrno>
#include <memory>
#include <string>
#include <utility>

#include "Bindings.h"
#include "DeploymentBinding.h"
#include "ModuleSupport.h"
#include "TextCasters.h"
#include "XmlFileBinding.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

// The answer as str, or None for the library's "" (nothing serves the request).
py::object Answer(const std::string& domain) {
  if (domain.empty()) return py::none();
  return DecodeText(domain, TextEncoding::kGbk);
}

Deployment Load(XmlFile& file) {
  auto resolver = std::make_shared<CKdDeploy>();
  XmlInUse store(file);
  resolver->InitDeloy(&*store);
  return Deployment{std::move(resolver), file.path()};
}

Deployment FromFile(const FilePath& path) {
  // A store creates a missing file; reading a deployment must not.
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) {
    const int error = errno;
    const py::str name = DecodePath(path.bytes);
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, name.ptr());
    throw py::error_already_set();
  }
  XmlFile file(path);
  Deployment deployment = Load(file);
  file.Close(false);
  return deployment;
}

py::list Trades(const Deployment& d, const GbkText& yyb, const GbkText& jys) {
  const std::string names = d.resolver->GetMulTradeDomain(yyb.bytes, jys.bytes);
  py::list list;
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t end = names.find(',', start);
    if (end == std::string::npos) end = names.size();
    if (end > start) list.append(DecodeText(names.substr(start, end - start), TextEncoding::kGbk));
    start = end + 1;
  }
  return list;
}

const char kDeploymentDoc[] =
    R"(Deployment(source)

The deployment resolver, loaded once from an XML configuration file (a path,
which must exist, or an open XmlFile): the section DEPLOY with the keys
DEPLOY1, DEPLOY2, ... ("name,kind") and a section per deployment with the keys
DOMAIN1, DOMAIN2, ... Lookups read the resolver's own copy, which never
changes; each returns the answer as str, or None when nothing serves the
request. Keys are str (GBK) or bytes and compare exactly.

    deployment = dezov.Deployment("deploy.xml")
    deployment.trade("0101", "1")                        # 'TA_SH1'
    deployment.history("0101", "20060315", "20060315")   # 'HA_2006'

Deployment.watch(path) follows the file instead: see DeploymentWatch.
)";

}  // namespace

void BindDeployment(py::module_& module) {
  py::class_<Deployment>(module, "Deployment", kDeploymentDoc)
      .def(py::init(&Load), py::arg("source"),
           "Deployment(source)\n\nLoads the deployments from an open XmlFile, or from the "
           "XML file at a path\n(FileNotFoundError when it is missing: it is not created).")
      .def(py::init(&FromFile), py::arg("source"))
      .def_property_readonly(
          "source", [](const Deployment& d) { return DecodePath(d.source); },
          "The file the deployments were read from.")
      .def_property_readonly(
          "scheme", [](const Deployment& d) { return d.resolver->GetScheme(); },
          "1 with a YYB deployment only, 2 with JYS only, 3 with both, else 0.")
      .def(
          "domain",
          [](const Deployment& d, const GbkText& name, const GbkText& key, const GbkText& keyEnd,
             bool first) {
            return Answer(first ? d.resolver->GetDomain(name.bytes, key.bytes, keyEnd.bytes)
                                : d.resolver->GetDomainStr(name.bytes, key.bytes, keyEnd.bytes));
          },
          py::arg("name"), py::arg("key"), py::arg("key_end") = GbkText{}, py::kw_only(),
          py::arg("first") = false,
          "domain(name, key, key_end='', *, first=False) -> str | None\n\nThe whole domain "
          "string of the first domain of deployment name serving key\n(text deployments) or "
          "overlapping [key, key_end] (range deployments); with\nfirst=True only its first "
          "':'-separated name.")
      .def(
          "next_domain",
          [](const Deployment& d, const GbkText& name, const GbkText& key, const GbkText& current,
             const GbkText& keyEnd, bool first) {
            return Answer(
                first ? d.resolver->GetNextDomain(name.bytes, key.bytes, keyEnd.bytes,
                                                 current.bytes)
                      : d.resolver->GetNextDomainStr(name.bytes, key.bytes, keyEnd.bytes,
                                                    current.bytes));
          },
          py::arg("name"), py::arg("key"), py::arg("current"), py::arg("key_end") = GbkText{},
          py::kw_only(), py::arg("first") = false,
          "next_domain(name, key, current, key_end='', *, first=False) -> str | None\n\nAs "
          "domain(), the first matching domain string behind current.")
      .def(
          "trade",
          [](const Deployment& d, const GbkText& yyb, const GbkText& jys) {
            std::string yybKey = yyb.bytes;
            std::string jysKey = jys.bytes;
            return Answer(d.resolver->GetTradeDomain(yybKey, jysKey));
          },
          py::arg("yyb"), py::arg("jys"),
          "trade(yyb, jys) -> str | None\n\nThe trade domain for a YYB key and a JYS key: the "
          "first of trades().")
      .def("trades", &Trades, py::arg("yyb"), py::arg("jys"),
           "trades(yyb, jys) -> list[str]\n\nEvery trade domain name for a YYB key and a JYS "
           "key, in the order they\nare asked, as the scheme combines them.")
      .def(
          "next_query",
          [](const Deployment& d, const GbkText& yyb, const GbkText& jys, const GbkText& current) {
            std::string next;
            if (!d.resolver->GetNextQueryDomain(yyb.bytes, jys.bytes, current.bytes, next))
              return py::object(py::none());
            return Answer(next);
          },
          py::arg("yyb"), py::arg("jys"), py::arg("current"),
          "next_query(yyb, jys, current) -> str | None\n\nThe trade domain to query after "
          "current.")
      .def(
          "history",
          [](const Deployment& d, const GbkText& yyb, const GbkText& rq, const GbkText& rqEnd,
             const GbkText& current) {
            return Answer(
                d.resolver->GetHistoryDomain(yyb.bytes, rq.bytes, rqEnd.bytes, current.bytes));
          },
          py::arg("yyb"), py::arg("rq"), py::arg("rq_end"), py::arg("current") = GbkText{},
          "history(yyb, rq, rq_end, current='') -> str | None\n\nThe history domain for a YYB "
          "key and the RQ key range [rq, rq_end], the\none after current when it is given.")
      .def("__repr__", [](const Deployment& d) {
        return py::str("<dezov.Deployment {!r}>").format(DecodePath(d.source));
      });
}

}  // namespace python
}  // namespace dezov
