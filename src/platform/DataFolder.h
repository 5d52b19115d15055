#pragma once

#include <QString>

// The folder of the pictures and pages that ship with the program:
// "share/thinkweb" beside the running program in the build tree, else the
// installed one beside its "bin" folder.
namespace DataFolder {

QString path();

} // namespace DataFolder
