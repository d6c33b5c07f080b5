#include "engine/setup/own_payload.h"

#include <windows.h>

#include <memory>

#include "core/errors.h"
#include "core/setupdata/program_payload.h"
#include "core/text/number_text.h"
#include "engine/common/app_msg_box.h"
#include "engine/common/phase_clock.h"
#include "engine/setup/setup_state.h"

namespace qv {

const char kDamagedProgramText[] = "安装程序文件已损坏或下载不完整，请重新下载。";

namespace {

std::string g_checkText;

[[noreturn]] void RefuseDamagedProgram() {
    if (!SetupState.SuppressMsgBoxes) AppMsgBox(kDamagedProgramText, "", mbtCriticalError, MB_OK);
    throw EAbort();
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

bool TakeOwnPayload(const std::shared_ptr<const THeldFile>& ownFile) {
    g_checkText.clear();
    const std::unique_ptr<InStream> file = ownFile->NewReader();
    LARGE_INTEGER start, end;
    const TPhaseScope phase(TPhase::PayloadCheck);
    QueryPerformanceCounter(&start);
    PayloadSearch found;
    bool intact = false;
    try {
        found = FindProgramPayload(*file);
        if (found.State == PayloadState::NotAProgram || found.State == PayloadState::NoPayload) return false;
        intact = found.State == PayloadState::Found && PayloadIsIntact(*file, found.Locator);
    } catch (const EInOutError&) {
        // The sizes were checked first: a file that cannot be read to its
        // end is as incomplete as one cut short.
    }
    if (!intact) RefuseDamagedProgram();
    QueryPerformanceCounter(&end);

    SetupState.SlMode = true;
    SetupState.SlDataFileName = ownFile->Path();
    SetupState.SlFile = ownFile;
    SetupState.SlDataOffset = found.Locator.SetupDataOffset;
    SetupState.SlFileDataOffset = found.Locator.FileDataOffset;
    g_checkText = "its own payload: " + std::to_string(found.Locator.PayloadSize) + " bytes from offset " +
                  std::to_string(found.Locator.SetupDataOffset) + ", CRC-32 checked in " +
                  DecimalTenths(Milliseconds(start, end)) + " ms";
    return true;
}

bool CarriesPayload(const THeldFile& ownFile) {
    try {
        const PayloadState state = FindProgramPayload(*ownFile.NewReader()).State;
        return state != PayloadState::NotAProgram && state != PayloadState::NoPayload;
    } catch (const EInOutError&) {
        return false;  // as TakeOwnPayload judges it: a program without payload
    }
}

std::string OwnPayloadCheckText() { return g_checkText; }

}  // namespace qv
