// Helpers shared by the XML tests.
#pragma once

#include <string>

#include "xml/xml_document.h"

namespace xmltest {

// One line per element in document order: level, tag name and its attributes
// (name=unescaped value) as the start tag holds them.
std::string DumpTree(const XmlDocument& doc);

// The index laid out from record 0 in tree order: positions, tag lengths,
// levels and end-tag state of every element.
std::string DumpIndex(const XmlDocument& doc);

// A fresh folder under the test temp dir.
std::string MakeTempDir();

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// Runs a shell command, returns its standard output; *status gets the exit code.
std::string Run(const std::string& command, int* status = nullptr);

std::string U8(const std::u16string& s);

}  // namespace xmltest
