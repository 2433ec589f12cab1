// docgen: writes the user-interface and SysEx definition documents from resources/src.
// Usage: docgen SOURCE_DIR OUTPUT_DIR. Exits 1, naming the source rows, when a rule is broken.
#include <cstdio>
#include <fstream>

#include "tools/common/ReadWholeFile.h"
#include "tools/docgen/DocumentGenerator.h"

// Written beside the target and renamed over it, so a failed run never leaves half a document.
static bool WriteText(const std::string& path, const std::string& text)
{
  std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out || !(out << text) || !out.flush()) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

int main(int argc, char** argv)
{
  if (argc != 3)
  {
    std::fprintf(stderr, "usage: docgen SOURCE_DIR OUTPUT_DIR\n");
    return 2;
  }
  std::string src = argv[1], out = argv[2];
  Layout layout;
  bool ok = layout.Load(src + "/bindings.tsv", src + "/layout.txt");
  for (const std::string& e : layout.Errors())
    std::fprintf(stderr, "docgen: %s\n", e.c_str());
  std::string listText, sysexText, error;
  ValueLists lists;
  SysExEntries sysex;
  if (!ReadWholeFile(src + "/lists.txt", listText) || !lists.Parse(listText, error) ||
      !ReadWholeFile(src + "/sysex.txt", sysexText) || !sysex.Parse(sysexText, error))
  {
    std::fprintf(stderr, "docgen: %s\n",
                 error.empty() ? "lists.txt or sysex.txt cannot be read" : error.c_str());
    return 1;
  }
  if (!ok) return 1;
  DocumentGenerator gen(layout, lists, sysex);
  bool generated = gen.Generate();
  for (const std::string& e : gen.Errors())
    std::fprintf(stderr, "docgen: %s\n", e.c_str());
  if (!generated) return 1;
  if (!WriteText(out + "/uiconfig.xml", gen.UiDocument()) ||
      !WriteText(out + "/sysex.xml", gen.SysExDocument()))
  {
    std::fprintf(stderr, "docgen: cannot write into %s\n", out.c_str());
    return 1;
  }
  return 0;
}
