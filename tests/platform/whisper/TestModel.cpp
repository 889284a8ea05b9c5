#include "TestModel.h"

#include "platform/whisper/SyntheticModel.h"

#include <fstream>
#include <vector>

namespace sonarel::testing {

bool writeTestModel(const std::string& path, ModelShape shape) {
    const char* const name = shape == ModelShape::tiny   ? "tiny"
                             : shape == ModelShape::base ? "base"
                                                         : "small";
    whisper::SyntheticModel model(*whisper::ModelShape::named(name));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> chunk(1 << 20);
    while (out) {
        const size_t n = model.read(chunk.data(), chunk.size());
        if (n == 0) {
            break;
        }
        out.write(chunk.data(), std::streamsize(n));
    }
    out.close();
    return bool(out);
}

}  // namespace sonarel::testing
