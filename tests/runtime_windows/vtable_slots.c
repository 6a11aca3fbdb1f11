#include "tests/runtime_windows/vtable_slots.h"

#include <application_model_core.h>
#include <security_credentials.h>
#include <security_credentials_ui.h>
#include <services_store.h>
#include <system_profile.h>
#include <window_interop.h>
#include <windows.h>

#define VTBL_(c_interface) c_interface##Vtbl
#define VTBL(c_interface) VTBL_(c_interface)
#define SLOT(name, c_interface, member) \
  { name, offsetof(VTBL(c_interface), member) / sizeof(void*) }

#define CREDENTIALS(name) __x_ABI_CWindows_CSecurity_CCredentials_C##name
#define STORE(name) __x_ABI_CWindows_CServices_CStore_C##name
#define PROFILE(name) __x_ABI_CWindows_CSystem_CProfile_C##name
#define UPDATE_LIST __FIVectorView_1_Windows__CServices__CStore__CStorePackageUpdate
#define INSTALL_OPERATION \
  __FIAsyncOperationWithProgress_2_Windows__CServices__CStore__CStorePackageUpdateResult_StorePackageUpdateStatus
#define CONSENT_OPERATION __FIAsyncOperation_1_UserConsentVerificationResult

const struct QuillmarVtableSlot kQuillmarVtableSlots[] = {
    SLOT("credentials::ICredentialFactory::CreatePasswordCredential",
         CREDENTIALS(ICredentialFactory), CreatePasswordCredential),
    SLOT("credentials::IPasswordCredential::get_Password", CREDENTIALS(IPasswordCredential),
         get_Password),
    SLOT("credentials::IPasswordCredential::RetrievePassword", CREDENTIALS(IPasswordCredential),
         RetrievePassword),
    SLOT("credentials::IPasswordCredential::get_Properties", CREDENTIALS(IPasswordCredential),
         get_Properties),
    SLOT("credentials::IPasswordVault::Add", CREDENTIALS(IPasswordVault), Add),
    SLOT("credentials::IPasswordVault::Remove", CREDENTIALS(IPasswordVault), Remove),
    SLOT("credentials::IPasswordVault::Retrieve", CREDENTIALS(IPasswordVault), Retrieve),
    SLOT("credentials::IPasswordVault::RetrieveAll", CREDENTIALS(IPasswordVault), RetrieveAll),
    SLOT("ui::IUserConsentVerifierStatics::CheckAvailabilityAsync",
         CREDENTIALS(UI_CIUserConsentVerifierStatics), CheckAvailabilityAsync),
    SLOT("ui::IUserConsentVerifierStatics::RequestVerificationAsync",
         CREDENTIALS(UI_CIUserConsentVerifierStatics), RequestVerificationAsync),
    SLOT("IUserConsentVerifierInterop::RequestVerificationForWindowAsync",
         IUserConsentVerifierInterop, RequestVerificationForWindowAsync),
    SLOT("IInitializeWithWindow::Initialize", IInitializeWithWindow, Initialize),
    SLOT("profile::IAnalyticsInfoStatics::get_VersionInfo", PROFILE(IAnalyticsInfoStatics),
         get_VersionInfo),
    SLOT("profile::IAnalyticsVersionInfo::get_DeviceFamily", PROFILE(IAnalyticsVersionInfo),
         get_DeviceFamily),
    SLOT("store::IStoreContextStatics::GetDefault", STORE(IStoreContextStatics), GetDefault),
    SLOT("store::IStoreContext::get_User", STORE(IStoreContext), get_User),
    SLOT("store::IStoreContext::GetAppAndOptionalStorePackageUpdatesAsync", STORE(IStoreContext),
         GetAppAndOptionalStorePackageUpdatesAsync),
    SLOT("store::IStoreContext::RequestDownloadAndInstallStorePackageUpdatesAsync",
         STORE(IStoreContext), RequestDownloadAndInstallStorePackageUpdatesAsync),
    SLOT("store::IStoreContext::RequestDownloadAndInstallStorePackagesAsync", STORE(IStoreContext),
         RequestDownloadAndInstallStorePackagesAsync),
    SLOT("store::IStorePackageUpdate::get_Mandatory", STORE(IStorePackageUpdate), get_Mandatory),
    SLOT("store::IStorePackageUpdateResult::get_OverallState", STORE(IStorePackageUpdateResult),
         get_OverallState),
    SLOT("store::IStorePackageUpdateResult::get_StorePackageUpdateStatuses",
         STORE(IStorePackageUpdateResult), get_StorePackageUpdateStatuses),
    SLOT("UpdateList::get_Size", UPDATE_LIST, get_Size),
    SLOT("UpdateList::GetAt", UPDATE_LIST, GetAt),
    SLOT("InstallOperation::put_Progress", INSTALL_OPERATION, put_Progress),
    SLOT("InstallOperation::put_Completed", INSTALL_OPERATION, put_Completed),
    SLOT("InstallOperation::GetResults", INSTALL_OPERATION, GetResults),
    SLOT("IAsyncOperation<ui::UserConsentVerificationResult>::put_Completed", CONSENT_OPERATION,
         put_Completed),
    SLOT("IAsyncOperation<ui::UserConsentVerificationResult>::GetResults", CONSENT_OPERATION,
         GetResults),
    SLOT("core::ICoreApplication3::RequestRestartAsync",
         __x_ABI_CWindows_CApplicationModel_CCore_CICoreApplication3, RequestRestartAsync),
};

const size_t kQuillmarVtableSlotCount =
    sizeof kQuillmarVtableSlots / sizeof kQuillmarVtableSlots[0];
