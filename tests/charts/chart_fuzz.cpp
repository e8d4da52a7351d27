// Any bytes as a chart file (.wfa) and as the drawing of each kind of chart
// element that a load reads from GraphInfo: an archive failure or a chart,
// never a crash. The first byte chooses what the rest is read as.
#include "charts/documents/core/diagrammodel.h"
#include "charts/elements/awfelements.h"

#include "afx/archive.h"
#include "afx/file.h"

#include <cstdint>
#include <vector>

namespace {

template <class Element>
void loadDrawing(const std::vector<std::uint8_t>& bytes)
{
    Element element;
    tarnwick::LoadElement(element, bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    try {
        switch (data[0] % 6) {
        case 0: {
            // What CBaseDiagramDoc reads from a chart file.
            CTarnwickModel model;
            CMemFile file(bytes);
            CArchive ar(&file, CArchive::load);
            model.Serialize(ar);
            break;
        }
        case 1: loadDrawing<CAWFState>(bytes); break;
        case 2: loadDrawing<CAWForeign>(bytes); break;
        case 3: loadDrawing<CAWFAction>(bytes); break;
        case 4: loadDrawing<CAWFLink>(bytes); break;
        default: loadDrawing<CAWFCircleLink>(bytes); break;
        }
    } catch (const CException&) {
    }
    return 0;
}
