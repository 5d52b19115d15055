// thinkweb-eps-render PATH WIDTH HEIGHT
// Renders the first page of an EPS file at WIDTH x HEIGHT pixels and writes
// three 32-bit integers (width, height, bytes per row; 0 rows when nothing
// rendered) and then the RGB32 rows to standard output. It runs as a process
// of its own: PostScript can loop forever or crash its interpreter, and the
// program that asks holds threads a forked copy could deadlock on.
//
// The caller starts it in an empty folder of its own, named as the temporary
// folder and home in an otherwise empty environment: the interpreter's safe
// mode allows files in the temporary folder only, so a picture can reach
// nothing but that folder. Here the process caps its own memory and time and
// the size of each file; the caller watches how much the folder holds.
#include <libspectre/spectre.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Room the interpreter may take beyond what the loaded program already maps:
// the largest page (4096 x 4096 pixels, 64 MB) several times over.
constexpr rlim_t memoryAllowance = 512ULL * 1024 * 1024;
// Processor seconds, a stop for when the caller's clock cannot stop it.
constexpr rlim_t processorSeconds = 30;
// The largest file the interpreter's own temporary files may grow to: no
// more than the caller lets its whole folder hold.
constexpr rlim_t fileBytes = 64ULL * 1024 * 1024;

rlim_t mappedBytes()
{
    unsigned long long pages = 0;
    if (FILE *statm = fopen("/proc/self/statm", "r")) {
        if (fscanf(statm, "%llu", &pages) != 1)
            pages = 0;
        fclose(statm);
    }
    return rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE));
}

// Lowers a limit; one already lower is kept.
bool limit(int resource, rlim_t value)
{
    rlimit r{};
    if (getrlimit(resource, &r) != 0)
        return false;
    if (r.rlim_max != RLIM_INFINITY)
        value = std::min(value, r.rlim_max);
    r.rlim_cur = r.rlim_max = value;
    return setrlimit(resource, &r) == 0;
}

bool confine()
{
    // Nothing the caller had open but the three standard streams.
    if (close_range(3, ~0U, 0) != 0)
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
    // Gone with the thread that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // Behind the user's work, and behind the thread that watches this
    // folder: on a busy machine that thread must still get to look and stop
    // a picture that writes file after file before it writes many more.
    setpriority(PRIO_PROCESS, 0, 19);
    return limit(RLIMIT_AS, mappedBytes() + memoryAllowance) &&
           limit(RLIMIT_CPU, processorSeconds) && limit(RLIMIT_FSIZE, fileBytes) &&
           limit(RLIMIT_CORE, 0);
}

bool writeFully(const unsigned char *bytes, long size)
{
    long done = 0;
    while (done < size) {
        const ssize_t n = write(STDOUT_FILENO, bytes + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool writeHeader(int32_t width, int32_t height, int32_t stride)
{
    const int32_t header[3] = {width, height, stride};
    return writeFully(reinterpret_cast<const unsigned char *>(header), sizeof header);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    const int wanted[2] = {atoi(argv[2]), atoi(argv[3])};
    if (wanted[0] < 1 || wanted[1] < 1)
        return 2;
    if (!confine()) {
        writeHeader(0, 0, 0);
        return 3;
    }

    bool ok = false;
    SpectreDocument *document = spectre_document_new();
    spectre_document_load(document, argv[1]);
    if (spectre_document_status(document) == SPECTRE_STATUS_SUCCESS &&
        spectre_document_get_n_pages(document) > 0) {
        SpectrePage *page = spectre_document_get_page(document, 0);
        int width = 0, height = 0;
        if (page)
            spectre_page_get_size(page, &width, &height);
        if (page && width > 0 && height > 0) {
            SpectreRenderContext *rc = spectre_render_context_new();
            const double sx = double(wanted[0]) / width, sy = double(wanted[1]) / height;
            spectre_render_context_set_scale(rc, sx, sy);
            spectre_render_context_set_antialias_bits(rc, 4, 2);
            // The interpreter's own fonts: the same everywhere.
            spectre_render_context_set_use_platform_fonts(rc, 0);
            unsigned char *bytes = nullptr;
            int rowLength = 0;
            spectre_page_render(page, rc, &bytes, &rowLength);
            if (spectre_page_status(page) == SPECTRE_STATUS_SUCCESS && bytes && rowLength > 0) {
                // The interpreter's own rounding of the page to pixels.
                const int columns = std::min(int(width * sx + 0.5), rowLength / 4);
                const int rows = int(height * sy + 0.5);
                // Rows go out packed, as the reader lays out its image.
                ok = writeHeader(columns, rows, columns * 4);
                for (int row = 0; ok && row < rows; ++row)
                    ok = writeFully(bytes + long(row) * rowLength, long(columns) * 4);
            }
            free(bytes);
            spectre_render_context_free(rc);
        }
        if (page)
            spectre_page_free(page);
    }
    spectre_document_free(document);
    if (!ok)
        writeHeader(0, 0, 0);
    return ok ? 0 : 1;
}
