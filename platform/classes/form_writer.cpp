// Writes text form files.
#include "classes_internal.h"

std::string WriteComponentString(const TComponent& root)
{
    return "object " + root.Name() + ": " + root.ClassName() + "\nend\n";
}

void WriteComponentFile(const std::string& path, const TComponent&)
{
    throw EWriteError(path + ": form files cannot be written yet");
}
