// Reads text form files.
#include "classes_internal.h"

TComponent* ReadComponentString(const std::string&, const std::string& fileName, TComponent*, const TFormHandlers*)
{
    throw EReadError(fileName + ": form files cannot be read yet");
}

TComponent* ReadComponentFile(const std::string& path, TComponent* owner, const TFormHandlers* handlers)
{
    return ReadComponentString({}, path, owner, handlers);
}

void ReadComponentInto(TComponent*, const std::string&, const std::string& fileName)
{
    throw EReadError(fileName + ": form files cannot be read yet");
}

void ReadComponentFileInto(TComponent* root, const std::string& path)
{
    ReadComponentInto(root, {}, path);
}
