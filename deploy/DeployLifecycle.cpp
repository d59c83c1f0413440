// Construction, deep copies and release of a resolver's deployment records.
#include <utility>

#include "../include/KdDeploy.h"
#include "DeployItem.h"

CKdDeploy::CKdDeploy() : scheme(0) {}

CKdDeploy::CKdDeploy(const CKdDeploy& other) : scheme(other.scheme) {
  deployments.reserve(other.deployments.size());
  for (const auto& item : other.deployments) {
    deployments.push_back(std::make_unique<CDeployItem>(*item));
  }
}

CKdDeploy& CKdDeploy::operator=(const CKdDeploy& other) {
  if (this != &other) {
    CKdDeploy copy(other);  // a failing copy leaves this resolver as it was
    deployments.swap(copy.deployments);
    scheme = copy.scheme;
  }
  return *this;
}

CKdDeploy::~CKdDeploy() { Free(); }

void CKdDeploy::Free() { deployments.clear(); }

int CKdDeploy::GetScheme() { return scheme; }

const CDeployItem* CKdDeploy::_FindDeployment(const std::string& name) const {
  for (const auto& item : deployments) {
    if (item->name == name) return item.get();
  }
  return nullptr;
}
