#include "engine/install/icon_item_command.h"

#include "core/errors.h"
#include "core/text/cp936.h"
#include "core/text/path_strings.h"
#include "engine/common/format_text.h"

namespace qv {

std::string CreateGroupCommand(const std::string& group) { return "[CreateGroup(\"" + group + "\")]"; }

std::string ShowGroupCommand(const std::string& group) { return "[ShowGroup(\"" + group + "\",5)]"; }

std::string ReplaceItemCommand(const std::string& item) { return "[ReplaceItem(\"" + item + "\")]"; }

std::string AddItemCommand(const std::string& groupCommand, const std::string& filename,
                           const std::string& parameters, const std::string& item, const std::string& iconFile,
                           int iconIndex, const std::string& workingFolder) {
    std::string command = groupCommand + "[AddItem(" + QuoteIfSpaces(filename);
    if (!parameters.empty()) command += " " + parameters;
    command += ",\"" + item + "\"";
    if (!iconFile.empty())
        command += ",\"" + iconFile + "\"," + std::to_string(iconIndex);
    else
        command += ",,";
    // The two position fields stay empty.
    if (!workingFolder.empty()) command += ",,,\"" + workingFolder + "\"";
    command += ")]";

    const std::size_t size = cp936::FromUtf8Lossy(command).size() + 1;
    if (size > kItemCommandLimit)
        throw Exception(FormatText("不能创建程序项 \"%s\"：其命令长 %d 字节，超过了程序管理器的上限 %d 字节",
                                   {item, static_cast<unsigned long>(size),
                                    static_cast<unsigned long>(kItemCommandLimit)}));
    return command;
}

}  // namespace qv
