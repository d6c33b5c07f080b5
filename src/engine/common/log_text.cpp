#include "engine/common/log_text.h"

#include <new>

#include "core/errors.h"
#include "core/setupdata/records.h"
#include "engine/common/system_error_text.h"
#include "core/text/number_text.h"

namespace qv {

std::string WindowsErrorText(unsigned long code) {
    const std::string text = SystemErrorText(code);
    std::string result = "Windows error " + std::to_string(code);
    if (!text.empty()) result += " " + Quoted(text);
    return result;
}

std::string CurrentExceptionKindText() {
    // The exception is thrown again to be matched by type, most derived
    // first: the programs carry no run-time type information to ask.
    try {
        throw;
    } catch (const EInOutError& io) {
        return "EInOutError, run-time code " + std::to_string(io.code());
    } catch (const EZlibInternalError& zlib) {
        return "EZlibInternalError, zlib code " + std::to_string(zlib.code());
    } catch (const EZlibDataError&) {
        return "EZlibDataError";
    } catch (const ESourceFileCorrupted&) {
        return "ESourceFileCorrupted";
    } catch (const EConvertError&) {
        return "EConvertError";
    } catch (const EAbort&) {
        return "EAbort";
    } catch (const Exception&) {
        return "Exception";
    } catch (const std::bad_alloc&) {
        return "std::bad_alloc";
    } catch (const std::exception&) {
        return "std::exception";
    } catch (...) {
        return "an exception that is no std::exception";
    }
}

std::string CurrentExceptionText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return Quoted(error.what()) + " (" + CurrentExceptionKindText() + ")";
    } catch (...) {
        return "an exception that is no std::exception";
    }
}

namespace {

const char* PredefinedRootName(std::uint32_t root) {
    switch (root) {
    case kHkeyClassesRoot: return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser: return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine: return "HKEY_LOCAL_MACHINE";
    case kHkeyUsers: return "HKEY_USERS";
    case kHkeyCurrentConfig: return "HKEY_CURRENT_CONFIG";
    default: return nullptr;
    }
}

std::string HexOfRoot(std::uint32_t root) {
    return "0x" + HexDigits(root, 8);
}

}  // namespace

std::string RegistryRootName(std::uint32_t root) {
    const char* name = PredefinedRootName(root);
    return name ? name : "root key " + HexOfRoot(root);
}

std::string RegistryRootUserText(std::uint32_t root) {
    const char* name = PredefinedRootName(root);
    return name ? name : "非预定义的根键 " + HexOfRoot(root);
}

std::string VersionText(std::uint32_t versionMS, std::uint32_t versionLS) {
    return std::to_string(versionMS >> 16) + "." + std::to_string(versionMS & 0xFFFF) + "." +
           std::to_string(versionLS >> 16) + "." + std::to_string(versionLS & 0xFFFF);
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace qv
