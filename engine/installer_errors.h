#pragma once
// The installer's exception classes; each carries only its user-readable message.
#include "base/errors.h"

namespace uinst {

class EInstallerGeneralError : public Exception {
public:
    using Exception::Exception;
};
class EInstallerBackupError : public EInstallerGeneralError {
public:
    using EInstallerGeneralError::EInstallerGeneralError;
};
class EInstallerInstallError : public EInstallerGeneralError {
public:
    using EInstallerGeneralError::EInstallerGeneralError;
};
class EInstallerUpdateError : public EInstallerInstallError {
public:
    using EInstallerInstallError::EInstallerInstallError;
};
class EInstallerMysteryError : public EInstallerGeneralError {
public:
    using EInstallerGeneralError::EInstallerGeneralError;
};
class EInstallerNoAdminRightsError : public EInstallerGeneralError {
public:
    using EInstallerGeneralError::EInstallerGeneralError;
};

}  // namespace uinst
