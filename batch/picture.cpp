#include "batch/picture.h"

#include "batch/output_names.h"
#include "run/run_driver.h"
#include "ui/plot/plot_file.h"

#include <QFile>

namespace batch {

bool writePicture(const Options& o, const std::string& file, const ui::PlotRecording& recording,
    Console& console, std::size_t job)
{
    const std::string picture = pictureName(o, file);
    if (run::sameFile(picture, file)) {
        console.print(job,
            file + ": the picture " + picture + " would replace the data file; no picture written");
        return false;
    }
    int code = 0;
    const QString error = ui::writePlotFile(recording, QFile::decodeName(picture.c_str()), &code);
    if (!error.isEmpty()) {
        // A link at the picture's name is refused as one at a curve file's name is.
        if (code != 0)
            console.print(job,
                file + ": "
                    + run::outputFileErrorMessage(code == ELOOP
                            ? run::FailureCode::PathFileAccessError
                            : run::failureFromErrno(code, picture, true)));
        console.print(job,
            file + ": cannot write the picture " + picture + ": "
                + error.toLocal8Bit().toStdString());
        return false;
    }
    if (!o.quiet)
        console.print(job, file + ": picture " + picture);
    return true;
}

}  // namespace batch
