// Icon titles where they become part of something stricter than a title: a
// link's file name, or the quoted item name of a Program Manager command.
// The default uninstall title ("反安装\"<name>\"") holds double quotes, which
// neither can hold; they become the full-width quotes “ and ”, in turn, so
// that the name still reads as the title does.
#pragma once

#include <string>

namespace qv {

// `title` fit to stand inside a double-quoted command field: each double
// quote becomes “ or ” (opening first), each control character a blank.
std::string QuotedFieldTitle(const std::string& title);

// `title` fit to be one file name: as QuotedFieldTitle, and each of
// \ / : * ? < > | becomes its full-width form, so that the title can
// neither name a folder nor fail the file system.
std::string FileNameTitle(const std::string& title);

}  // namespace qv
