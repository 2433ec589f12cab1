#include "config/ConfigReader.h"
#include "editor/VELK.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "tests/editor/EditorTestSupport.h"

#include <fstream>
#include <sstream>

namespace
{
int CountControls(LayerGroup* g)
{
  if (!g) return 0;
  int n = g->NumControls();
  for (int i = 0; i < g->NumChildren(); ++i)
    n += CountControls(g->GetChild(i));
  return n;
}
} // namespace

// The editor from the embedded documents, as a host gets it, at each size and with the log on:
// every name the documents use is registered, every image they name exists.
TEST(WholeEditor, BuildsFromTheEmbeddedDocumentsWithNothingMissing)
{
  for (const char* size : {"small", "normal", "large"})
  {
    SCOPED_TRACE(size);
    TempDataFolder folder;
    std::ofstream(folder.path / UISettings::kFileName) << "normal\n" << size << "\n1\n";
    std::ofstream(folder.path / "VELK Editor LOG.txt") << "";
    int controls = 0;
    {
      VELK plug(nullptr);
      ASSERT_EQ(plug.logEnabled.load(), 1);
      auto* editor = dynamic_cast<IGraphics*>(plug.Editor());
      ASSERT_NE(editor, nullptr);
      controls = editor->NumControls();
      for (int i = 0; i < editor->NumLayerGroups(); ++i)
        controls += CountControls(editor->GetLayerGroup(i));
      EXPECT_EQ(plug.editorReady.load(), 1);
    }
    std::ifstream in(folder.path / "VELK Editor LOG.txt");
    std::stringstream text;
    text << in.rdbuf();
    const std::string log = text.str();
    EXPECT_NE(log.find("INITIALIZATION STARTED!"), std::string::npos);
    EXPECT_NE(log.find("Plug-in is ready to load!"), std::string::npos);
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
    {
      EXPECT_EQ(line.find("NOT FOUND!"), std::string::npos) << line;
      EXPECT_EQ(line.find("MISSING!"), std::string::npos) << line;
    }
    RecordProperty(std::string("controls_") + size, controls);
    EXPECT_GE(controls, 1); // the background at least
  }
}
