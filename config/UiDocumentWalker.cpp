// The walker of the UI document's element tree. It builds nothing yet: until it lands, the editor
// opens with the registries filled and no layer or control.
#include "config/ConfigReader.h"

void ConfigReader::BuildElement(const tinyxml2::XMLNode*, LayerGroup*, int) {}

IntTriple ConfigReader::ParseBiDirectLink(const std::string&, int)
{
  return IntTriple();
}
