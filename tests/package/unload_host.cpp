// A host linked to the runtime library alone. It loads a package, installs
// it, reads the property list of every class the package put on the palette
// (and of the classes they refer to), writes an instance of each as a form,
// and unloads the package; twice, then it returns. Whatever the package, or a
// library it brought along, left in the runtime library (callbacks, class
// information, computed lists) would be used after its code is gone: on the
// second load or at exit.
//   qb_package_unload_host PACKAGE
#include "qbarcode/packages.h"

#include <cstdio>
#include <memory>

using namespace qb;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PACKAGE\n", argv[0]);
        return 2;
    }
    try {
        for (int round = 0; round < 2; ++round) {
            HMODULE package = LoadPackage(argv[1]);
            InstallPackage(package);
            std::size_t classes = 0, properties = 0, formBytes = 0;
            for (const TPalettePage& page : GetPackagePalette(package))
                for (const TClassInfo* cls : page.Classes) {
                    ++classes;
                    // With the lists of the classes its properties refer to,
                    // which live in the runtime libraries the package requires.
                    for (const TPropInfo* prop : GetPropList(*cls)) {
                        ++properties;
                        if (prop->Class)
                            properties += GetPropList(*prop->Class).size();
                    }
                    if (cls->Factory) {
                        std::unique_ptr<TComponent> instance(cls->Create(nullptr));
                        formBytes += WriteComponentString(*instance).size();
                    }
                }
            UnloadPackage(package);
            std::printf("%zu classes, %zu properties, %zu bytes of forms\n", classes, properties, formBytes);
            if (classes == 0)
                return 1;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", e.Message.c_str());
        return 1;
    }
    return 0;
}
