// SPDX-License-Identifier: MIT
// dezov.DeploymentWatch over DeployWatch: a deployment description that
// follows its file, handing out each loaded resolver as a Deployment.
//
// The watcher's thread never runs Python code (no callback is given), so it
// never needs the interpreter's lock; the lock is released only while the
// first load runs and while the thread is stopped and joined. Snapshots share
// the resolver, not the watcher, so any of them may outlive it.
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "Bindings.h"
#include "DeployWatch.h"
#include "DeploymentBinding.h"
#include "ModuleSupport.h"
#include "TextCasters.h"

namespace py = pybind11;

namespace dezov {
namespace python {
namespace {

class DeploymentWatch;

// The open watches, closed at interpreter exit (before modules and the
// library's statics are torn down under a running thread). Used only with
// the interpreter's lock held.
std::set<DeploymentWatch*>& OpenWatches() {
  static std::set<DeploymentWatch*> watches;
  return watches;
}

class DeploymentWatch {
 public:
  explicit DeploymentWatch(const FilePath& path) : path_(path.bytes) {
    {
      py::gil_scoped_release release;  // the first load reads and parses the file
      watch_ = std::make_unique<DeployWatch>(path_);
    }
    OpenWatches().insert(this);
  }

  DeploymentWatch(const DeploymentWatch&) = delete;
  DeploymentWatch& operator=(const DeploymentWatch&) = delete;

  ~DeploymentWatch() {
    OpenWatches().erase(this);
    if (!watch_) return;
    if (InterpreterFinalizing()) {
      watch_.reset();
    } else {
      py::gil_scoped_release release;
      watch_.reset();
    }
  }

  DeployWatch& Watch() const {
    if (!watch_) RaiseClosed("DeploymentWatch");
    return *watch_;
  }

  // The newest good description; dezov.Error with the reason while none has loaded.
  Deployment Current() const {
    std::shared_ptr<const CKdDeploy> snapshot = Watch().Current();
    if (!snapshot) {
      RaiseFileError("no deployment loaded from '" + path_ + "': " + Watch().LastError(), path_);
    }
    return Deployment{std::move(snapshot), path_};
  }

  // Stops the thread; the watcher leaves this object before the lock is
  // released, so a second close (from another thread) finds nothing to do.
  void Close() {
    if (!watch_) return;
    OpenWatches().erase(this);
    std::unique_ptr<DeployWatch> stopping = std::move(watch_);
    py::gil_scoped_release release;
    stopping.reset();
  }

  const std::string& path() const { return path_; }
  bool closed() const { return !watch_; }

 private:
  std::string path_;
  std::unique_ptr<DeployWatch> watch_;
};

void CloseOpenWatches() {
  // Close() changes the set: take one at a time.
  while (!OpenWatches().empty()) (*OpenWatches().begin())->Close();
}

const char kDeploymentWatchDoc[] =
    R"(DeploymentWatch(path)

A deployment description that follows its file: loaded now, and loaded again
on a background thread whenever the file is rewritten, replaced, or removed
and created again (usually within tens of milliseconds, always within a
second). A file that cannot be read or holds no deployment keeps the last
good description, and last_error says why. current() hands out the newest
description as a Deployment, which never changes afterwards and stays usable
after the watch is closed. close(), or the end of a with-block, stops the
thread; watches still open are closed when the interpreter exits.

    with dezov.Deployment.watch("deploy.xml") as watch:
        ...
        watch.current().trade("0101", "1")   # the file as it is now
)";

}  // namespace

void BindDeploymentWatch(py::module_& module) {
  py::class_<DeploymentWatch>(module, "DeploymentWatch", kDeploymentWatchDoc)
      .def(py::init<const FilePath&>(), py::arg("path"),
           "DeploymentWatch(path)\n\nLoads the file (str, bytes or os.PathLike) if it can, and "
           "starts watching it.\nA file that is missing or holds no deployment is watched all "
           "the same: it\nloads once it is there.")
      .def_property_readonly(
          "path", [](const DeploymentWatch& w) { return DecodePath(w.path()); },
          "The file watched.")
      .def_property_readonly("closed", &DeploymentWatch::closed, "True after close().")
      .def("current", &DeploymentWatch::Current,
           "current() -> Deployment\n\nThe newest good description; dezov.Error with the reason "
           "while none has\nloaded.")
      .def_property_readonly(
          "generation", [](const DeploymentWatch& w) { return w.Watch().Generation(); },
          "How many descriptions were loaded: 0 until the first, then 1, 2, ...")
      .def_property_readonly(
          "last_error",
          [](const DeploymentWatch& w) -> py::object {
            const std::string error = w.Watch().LastError();
            if (error.empty()) return py::none();
            return ShownText(error);
          },
          "Why the last load failed (str), or None when it succeeded.")
      .def("close", &DeploymentWatch::Close,
           "close() -> None\n\nStops watching and joins the thread. Descriptions handed out "
           "stay usable.")
      .def(
          "__enter__",
          [](const py::object& self) {
            self.cast<const DeploymentWatch&>().Watch();  // ValueError once closed
            return self;
          },
          "with Deployment.watch(path) as watch: closed at the end of the block.")
      .def(
          "__exit__",
          [](DeploymentWatch& w, const py::object&, const py::object&, const py::object&) {
            w.Close();
          },
          "Stops watching.")
      .def("__repr__", [](const DeploymentWatch& w) {
        return py::str("<dezov.DeploymentWatch {!r}{}>")
            .format(DecodePath(w.path()), w.closed() ? " closed" : "");
      });

  auto deployment = py::reinterpret_borrow<py::class_<Deployment>>(module.attr("Deployment"));
  deployment.def_static(
      "watch", [](const FilePath& path) { return std::make_unique<DeploymentWatch>(path); },
      py::arg("path"),
      "watch(path) -> DeploymentWatch\n\nA DeploymentWatch of the file: its current() follows "
      "the file's changes.");

  py::module_::import("atexit").attr("register")(py::cpp_function(&CloseOpenWatches));
}

}  // namespace python
}  // namespace dezov
