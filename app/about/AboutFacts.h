#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace quellion {

// One row of the about box's Resource/Value list.
using TAboutFact = std::pair<QString, QString>;

// What a bug report needs to know about this run: the version, the Qt platform, the
// versions of Qt, OpenSSL and libxml2 in use, the settings file and the engine
// definition folders. Call with an application object.
std::vector<TAboutFact> RunFacts();

// "Linux, Qt platform xcb": what the program runs on.
QString RunsOnText();

}  // namespace quellion
