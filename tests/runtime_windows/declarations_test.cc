// The runtime declarations against Windows' published metadata: interface
// IDs (the parameterized ones as widl computes them), and the vtable slot of
// every member the library calls (read from the C declarations, which widl
// writes in the same member order). A wrong IID or slot compiles and only
// fails on real Windows, so each is checked against the published value.
#include <application_model_core.h>
#include <gtest/gtest.h>
#include <security_credentials.h>
#include <security_credentials_ui.h>
#include <services_store.h>
#include <system_profile.h>
#include <window_interop.h>
#include <windows.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>

#include "platform/windows/winrt_support.h"
#include "tests/runtime_windows/vtable_slots.h"

namespace quillmar {
namespace {

namespace credentials = ABI::Windows::Security::Credentials;
namespace ui = ABI::Windows::Security::Credentials::UI;
namespace store = ABI::Windows::Services::Store;
namespace profile = ABI::Windows::System::Profile;
namespace core = ABI::Windows::ApplicationModel::Core;
using ABI::Windows::Foundation::IAsyncOperation;
using ABI::Windows::Foundation::IAsyncOperationCompletedHandler;
using ABI::Windows::Foundation::IAsyncOperationProgressHandler;
using ABI::Windows::Foundation::IAsyncOperationWithProgress;
using ABI::Windows::Foundation::IAsyncOperationWithProgressCompletedHandler;
using ABI::Windows::Foundation::Collections::IIterable;
using ABI::Windows::Foundation::Collections::IIterator;
using ABI::Windows::Foundation::Collections::IVectorView;
using platform::windows::IidOf;

std::string Text(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

struct IidRow {
  const char* name;
  GUID declared;
  const char* published;
};

void PrintTo(const IidRow& row, std::ostream* out) { *out << row.name; }

// A test name from a row's name: letters and digits only.
std::string TestName(const char* name) {
  std::string result;
  for (const char* c = name; *c != 0; ++c) {
    if (std::isalnum(static_cast<unsigned char>(*c))) result += *c;
  }
  return result;
}

template <class Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  return TestName(info.param.name);
}

class InterfaceIdTest : public ::testing::TestWithParam<IidRow> {};

TEST_P(InterfaceIdTest, MatchesThePublishedId) {
  EXPECT_EQ(Text(GetParam().declared), GetParam().published);
}

using UpdateList = IVectorView<store::StorePackageUpdate*>;
using InstallOperation =
    IAsyncOperationWithProgress<store::StorePackageUpdateResult*, store::StorePackageUpdateStatus>;

// Values from the Windows SDK's headers and the runtime's metadata.
INSTANTIATE_TEST_SUITE_P(
    Declared, InterfaceIdTest,
    ::testing::Values(IidRow{"IPasswordVault", IidOf<credentials::IPasswordVault>(),
                             "61fd2c0b-c8d4-48c1-a54f-bc5a64205af2"},
                      IidRow{"IPasswordCredential", IidOf<credentials::IPasswordCredential>(),
                             "6ab18989-c720-41a7-a6c1-feadb36329a0"},
                      IidRow{"ICredentialFactory", IidOf<credentials::ICredentialFactory>(),
                             "54ef13a1-bf26-47b5-97dd-de779b7cad58"},
                      IidRow{"IUserConsentVerifierStatics",
                             IidOf<ui::IUserConsentVerifierStatics>(),
                             "af4f3f91-564c-4ddc-b8b5-973447627c65"},
                      IidRow{"IUserConsentVerifierInterop", IidOf<IUserConsentVerifierInterop>(),
                             "39e050c3-4e74-441a-8dc0-b81104df949c"},
                      IidRow{"IInitializeWithWindow", IidOf<IInitializeWithWindow>(),
                             "3e68d4bd-7135-4d10-8018-9fb6d9f33fa1"},
                      IidRow{"IAnalyticsInfoStatics", IidOf<profile::IAnalyticsInfoStatics>(),
                             "1d5ee066-188d-5ba9-4387-acaeb0e7e305"},
                      IidRow{"IAnalyticsVersionInfo", IidOf<profile::IAnalyticsVersionInfo>(),
                             "926130b8-9955-4c74-bdc1-7cd0decf9b03"},
                      IidRow{"IStoreContextStatics", IidOf<store::IStoreContextStatics>(),
                             "9c06ee5f-15c0-4e72-9330-d6191cebd19c"},
                      IidRow{"IStoreContext", IidOf<store::IStoreContext>(),
                             "ac98b6be-f4fd-4912-babd-5035e5e8bcab"},
                      IidRow{"IStorePackageUpdate", IidOf<store::IStorePackageUpdate>(),
                             "140fa150-3cbf-4a35-b91f-48271c31b072"},
                      IidRow{"IStorePackageUpdateResult", IidOf<store::IStorePackageUpdateResult>(),
                             "e79142ed-61f9-4893-b4fe-cf191603af7b"},
                      IidRow{"ICoreApplication3", IidOf<core::ICoreApplication3>(),
                             "feec0d39-598b-4507-8a67-772632580a57"}),
    RowName<IidRow>);

INSTANTIATE_TEST_SUITE_P(
    Parameterized, InterfaceIdTest,
    ::testing::Values(
        IidRow{"IAsyncOperationOfUserConsentVerifierAvailability",
               IidOf<IAsyncOperation<ui::UserConsentVerifierAvailability>>(),
               "ddd384f3-d818-5d83-ab4b-32119c28587c"},
        IidRow{"IAsyncOperationOfUserConsentVerificationResult",
               IidOf<IAsyncOperation<ui::UserConsentVerificationResult>>(),
               "fd596ffd-2318-558f-9dbe-d21df43764a5"},
        IidRow{"CompletedHandlerOfUserConsentVerifierAvailability",
               IidOf<IAsyncOperationCompletedHandler<ui::UserConsentVerifierAvailability>>(),
               "28988174-ace2-5c15-a0df-580a26d94294"},
        IidRow{"CompletedHandlerOfUserConsentVerificationResult",
               IidOf<IAsyncOperationCompletedHandler<ui::UserConsentVerificationResult>>(),
               "0cffc6c9-4c2b-5cd4-b38c-7b8df3ff5afb"},
        IidRow{"IteratorOfStorePackageUpdateStatus",
               IidOf<IIterator<store::StorePackageUpdateStatus>>(),
               "6181d84f-f731-57b8-9a6b-8a12fcd58d04"},
        IidRow{"ProgressHandlerOfStorePackageUpdateResult",
               IidOf<IAsyncOperationProgressHandler<store::StorePackageUpdateResult*,
                                                    store::StorePackageUpdateStatus>>(),
               "961260f1-7352-5edf-9666-1f9a0a8ee477"},
        IidRow{
            "CompletedHandlerOfStorePackageUpdateResult",
            IidOf<IAsyncOperationWithProgressCompletedHandler<store::StorePackageUpdateResult*,
                                                              store::StorePackageUpdateStatus>>(),
            "b3be0c8b-ef1d-56dc-8547-4da06ea563df"}),
    RowName<IidRow>);

// The declared slot of a member, from the C vtable table; SIZE_MAX when the
// table has no row of that name.
size_t DeclaredSlot(const std::string& name) {
  for (size_t i = 0; i < kQuillmarVtableSlotCount; ++i) {
    if (name == kQuillmarVtableSlots[i].name) return kQuillmarVtableSlots[i].slot;
  }
  return SIZE_MAX;
}

struct SlotRow {
  const char* name;
  size_t published;  // IUnknown takes slots 0 to 2, IInspectable 3 to 5
};

void PrintTo(const SlotRow& row, std::ostream* out) { *out << row.name; }

class VtableSlotTest : public ::testing::TestWithParam<SlotRow> {};

TEST_P(VtableSlotTest, MatchesThePublishedMemberOrder) {
  EXPECT_EQ(DeclaredSlot(GetParam().name), GetParam().published);
}

// Member order from the runtime's metadata (the Windows SDK's headers).
const SlotRow kPublishedSlots[] = {
    {"credentials::ICredentialFactory::CreatePasswordCredential", 6},
    {"credentials::IPasswordCredential::get_Password", 10},
    {"credentials::IPasswordCredential::RetrievePassword", 12},
    {"credentials::IPasswordCredential::get_Properties", 13},
    {"credentials::IPasswordVault::Add", 6},
    {"credentials::IPasswordVault::Remove", 7},
    {"credentials::IPasswordVault::Retrieve", 8},
    {"credentials::IPasswordVault::RetrieveAll", 11},
    {"ui::IUserConsentVerifierStatics::CheckAvailabilityAsync", 6},
    {"ui::IUserConsentVerifierStatics::RequestVerificationAsync", 7},
    {"IUserConsentVerifierInterop::RequestVerificationForWindowAsync", 6},
    {"IInitializeWithWindow::Initialize", 3},
    {"profile::IAnalyticsInfoStatics::get_VersionInfo", 6},
    {"profile::IAnalyticsVersionInfo::get_DeviceFamily", 6},
    {"store::IStoreContextStatics::GetDefault", 6},
    {"store::IStoreContext::get_User", 6},
    {"store::IStoreContext::GetAppAndOptionalStorePackageUpdatesAsync", 23},
    {"store::IStoreContext::RequestDownloadAndInstallStorePackageUpdatesAsync", 25},
    {"store::IStoreContext::RequestDownloadAndInstallStorePackagesAsync", 26},
    {"store::IStorePackageUpdate::get_Mandatory", 7},
    {"store::IStorePackageUpdateResult::get_OverallState", 6},
    {"store::IStorePackageUpdateResult::get_StorePackageUpdateStatuses", 7},
    {"UpdateList::get_Size", 7},
    {"UpdateList::GetAt", 6},
    {"InstallOperation::put_Progress", 6},
    {"InstallOperation::put_Completed", 8},
    {"InstallOperation::GetResults", 10},
    {"IAsyncOperation<ui::UserConsentVerificationResult>::put_Completed", 6},
    {"IAsyncOperation<ui::UserConsentVerificationResult>::GetResults", 8},
    {"core::ICoreApplication3::RequestRestartAsync", 6},
};

INSTANTIATE_TEST_SUITE_P(CalledMembers, VtableSlotTest, ::testing::ValuesIn(kPublishedSlots),
                         RowName<SlotRow>);

// Every member read from the C declarations has its published slot above.
TEST(VtableSlotTableTest, EveryDeclaredMemberIsChecked) {
  EXPECT_EQ(kQuillmarVtableSlotCount, std::size(kPublishedSlots));
}

}  // namespace
}  // namespace quillmar
