#include "counted.h"

#include <cstdio>
#include <sys/stat.h>

namespace qwhost
{
namespace
{
class ProtectedFile final : public Counted<gmpi::IProtectedFile2>
{
public:
    explicit ProtectedFile(FILE* f) : file_(f) {}
    ~ProtectedFile() override { close(); }

    int32_t queryInterface(const gmpi::MpGuid& iid, void** out) override
    {
        return answer(iid, out, {&gmpi::MP_IID_PROTECTED_FILE2});
    }
    int32_t read(char* buffer, int64_t size) override
    {
        if (!file_ || size < 0 || (size > 0 && !buffer))
            return gmpi::MP_FAIL;
        return std::fread(buffer, 1, static_cast<size_t>(size), file_) == static_cast<size_t>(size) ? gmpi::MP_OK
                                                                                                    : gmpi::MP_FAIL;
    }
    int32_t close() override
    {
        if (file_)
            std::fclose(file_);
        file_ = nullptr;
        return gmpi::MP_OK;
    }
    int32_t getSize(int64_t& size) override
    {
        struct stat st;
        if (!file_ || fstat(fileno(file_), &st) != 0)
            return gmpi::MP_FAIL;
        size = st.st_size;
        return gmpi::MP_OK;
    }

private:
    FILE* file_;
};
} // namespace

gmpi::IProtectedFile2* openProtectedFile(const char* path)
{
    struct stat st;
    if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    FILE* f = std::fopen(path, "rb");
    return f ? new ProtectedFile(f) : nullptr;
}
} // namespace qwhost
