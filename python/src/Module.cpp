// SPDX-License-Identifier: MIT
// The extension dezov._dezov: the library's stores and resolver for Python.
#include <pybind11/pybind11.h>

#include "Bindings.h"
#include "ModuleSupport.h"

namespace py = pybind11;

PYBIND11_MODULE(_dezov, module) {
  module.doc() = "The DeZov20 configuration stores and deployment resolver.";
  // Every docstring starts with its own signature, written for Python readers.
  py::options options;
  options.disable_function_signatures();
  dezov::python::BindErrors(module);
  dezov::python::BindIniFile(module);
  dezov::python::BindXmlFile(module);
  dezov::python::BindDeployment(module);
  dezov::python::BindDeploymentWatch(module);
}
