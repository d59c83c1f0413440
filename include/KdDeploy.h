// SPDX-License-Identifier: MIT
// CKdDeploy: answers which server domain serves a request, from a deployment
// description read once out of an XML configuration store.
//
// The description is the section "DEPLOY" with keys DEPLOY1..DEPLOY99 ("name,
// kind") and, per deployment, the keys DOMAIN1..DOMAIN299 ("domain,match" or,
// for kind 1, "domain,lower:upper"). Lookups read the resolver's own tables
// only: several threads may look up in one loaded resolver at once.
#ifndef DEZOV20_KD_DEPLOY_H
#define DEZOV20_KD_DEPLOY_H

#include <memory>
#include <string>
#include <vector>

#include "DeZov20Export.h"

class CXmlIni;
struct CDeployItem;

class DEZOV20_API CKdDeploy {
 public:
  // An empty resolver with scheme 0.
  CKdDeploy();
  // Deep copy of the deployments and the scheme.
  CKdDeploy(const CKdDeploy& other);
  // Deep copy of the deployments and the scheme.
  CKdDeploy& operator=(const CKdDeploy& other);
  // Frees every deployment.
  virtual ~CKdDeploy();

  // Replaces the tables with the description in pIni; a null store changes nothing.
  void InitDeloy(CXmlIni* pIni);
  // Frees every deployment; the scheme is kept.
  void Free();
  // 1 with "YYB" only, 2 with "JYS" only, 3 with both, else what it was (0 at first).
  int GetScheme();
  // Number of deployments loaded (0 before a load and after Free).
  int GetDeploymentCount() const;
  // A loaded deployment as the resolver holds it, for listing.
  struct Deployment {
    std::string name;
    int kind = 0;                       // as loaded; 1 is a range deployment
    bool range = false;                 // domain i serves keys overlapping keys[i]..keyEnds[i]
    std::vector<std::string> domains;   // domain strings, in DOMAIN key order
    std::vector<std::string> keys;      // match texts, or lower bounds
    std::vector<std::string> keyEnds;   // upper bounds; "" for text deployments
  };
  // The index-th loaded deployment (from 0, in DEPLOY key order); false, and
  // deployment unchanged, when there is none.
  bool GetDeployment(int index, Deployment& deployment) const;

  // Whole domain string of the first domain of deployment name serving the key
  // (text deployments) or overlapping [key, keyEnd] (range deployments); "" if none.
  std::string GetDomainStr(std::string name, std::string key, std::string keyEnd);
  // First ':'-separated part of GetDomainStr.
  std::string GetDomain(std::string name, std::string key, std::string keyEnd);
  // Whole domain string of the first matching domain behind current; "" if none.
  std::string GetNextDomainStr(std::string name, std::string key, std::string keyEnd,
                               std::string current);
  // First ':'-separated part of GetNextDomainStr.
  std::string GetNextDomain(std::string name, std::string key, std::string keyEnd,
                            std::string current);

  // ','-separated trade domain names for a YYB key and a JYS key, by scheme.
  std::string GetMulTradeDomain(std::string yybKey, std::string jysKey);
  // First name of GetMulTradeDomain; the arguments are not changed.
  std::string GetTradeDomain(std::string& yybKey, std::string& jysKey);
  // Stores in result the name after current in the trade list; true if found.
  bool GetNextQueryDomain(std::string yybKey, std::string jysKey, std::string current,
                          std::string& result);
  // History domain for a YYB key and an RQ key range, after current if given.
  std::string GetHistoryDomain(std::string yybKey, std::string rqKey, std::string rqKeyEnd,
                               std::string current);

  // ---- The same lookups on a resolver that is only read (e.g. a shared
  // snapshot); each gives exactly the answer of its non-const twin.
  // GetScheme, read-only.
  int GetScheme() const;
  // GetDomainStr, read-only.
  std::string GetDomainStr(std::string name, std::string key, std::string keyEnd) const;
  // GetDomain, read-only.
  std::string GetDomain(std::string name, std::string key, std::string keyEnd) const;
  // GetNextDomainStr, read-only.
  std::string GetNextDomainStr(std::string name, std::string key, std::string keyEnd,
                               std::string current) const;
  // GetNextDomain, read-only.
  std::string GetNextDomain(std::string name, std::string key, std::string keyEnd,
                            std::string current) const;
  // GetMulTradeDomain, read-only.
  std::string GetMulTradeDomain(std::string yybKey, std::string jysKey) const;
  // GetTradeDomain, read-only; the arguments are not changed.
  std::string GetTradeDomain(std::string& yybKey, std::string& jysKey) const;
  // GetNextQueryDomain, read-only.
  bool GetNextQueryDomain(std::string yybKey, std::string jysKey, std::string current,
                          std::string& result) const;
  // GetHistoryDomain, read-only.
  std::string GetHistoryDomain(std::string yybKey, std::string rqKey, std::string rqKeyEnd,
                               std::string current) const;

 private:
  // The first loaded deployment whose name equals name exactly, or null.
  const CDeployItem* _FindDeployment(const std::string& name) const;

  std::vector<std::unique_ptr<CDeployItem>> deployments;  // owned, in DEPLOY key order
  int scheme;
};

// Installs the process-wide resolver (not owned; null uninstalls).
DEZOV20_API void SetKdDeploy(CKdDeploy* pDeploy);
// The installed process-wide resolver, or null.
DEZOV20_API CKdDeploy* GetKdDeploy();

#endif  // DEZOV20_KD_DEPLOY_H
