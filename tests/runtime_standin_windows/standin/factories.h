// The classes the stand-in serves, each with its factory (which lives as
// long as the DLL) and the script step that makes getting it fail.
#pragma once

#include <activation.h>

#include <vector>

namespace quillmar::standin {

struct FactoryEntry {
  const wchar_t* class_name;
  const char* statics_step;  // null: getting the factory does not fail
  IActivationFactory* (*get)();
};

const std::vector<FactoryEntry>& Factories();

IActivationFactory* PasswordVaultFactory();
IActivationFactory* PasswordCredentialFactory();
IActivationFactory* ConsentVerifierFactory();
IActivationFactory* AnalyticsInfoFactory();
IActivationFactory* StoreContextFactory();
IActivationFactory* CoreApplicationFactory();

}  // namespace quillmar::standin
