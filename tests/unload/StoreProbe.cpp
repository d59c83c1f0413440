// SPDX-License-Identifier: MIT
// A module that uses DeZov20 the way a plug-in would; loaded and unloaded by
// the unload test.
#include <string>

#include "KdIni.h"
#include "XmlIni.h"

// Opens, changes, writes and re-reads an XML and an INI store in directory;
// 0 when every step did what it should.
extern "C" __attribute__((visibility("default"))) int UseStores(const char* directory) {
  const std::string xml = std::string(directory) + "/probe.xml";
  const std::string ini = std::string(directory) + "/probe.ini";
  CXmlIni store;
  store.Open(xml.c_str());  // creates the default document
  if (!store.Open(xml.c_str()) || !store.SetValue("S", "K", "v") || !store.WriteFile()) return 1;
  CXmlIni copy(store);
  CXmlIni reread;
  if (!reread.Open(xml.c_str()) || reread.GetValue("S", "K") != "v") return 2;
  CKdIni settings;
  settings.Open(ini.c_str());
  settings.SetValue("S", "K", "1");
  return settings.WriteFile() ? 0 : 3;
}
