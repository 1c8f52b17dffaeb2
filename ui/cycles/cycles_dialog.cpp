#include "ui/cycles/cycles_dialog.h"

#include "analysis/analysis_tables.h"
#include "run/file_names.h"
#include "run/run_driver.h"
#include "run/whole_file.h"
#include "ui/common/message_presenter.h"
#include "ui/cycles/cycle_tables_view.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

namespace {

    QString decoded(const std::string& name)
    {
        return QFile::decodeName(name.c_str());
    }

    std::string encoded(const QString& name)
    {
        return QFile::encodeName(name).toStdString();
    }

}  // namespace

CyclesDialog::CyclesDialog(
    const analysis::RunTables& tables, const std::string& dataFile, QWidget* parent)
    : QDialog(parent)
    , m_tables(tables)
    , m_dataFile(dataFile)
    , m_view(new CycleTablesView(this))
    , m_save(new QPushButton(tr("Save CSV…"), this))
{
    setObjectName(QStringLiteral("CyclesDialog"));
    setWindowTitle(tr("Cycles — %1").arg(decoded(dataFile)));
    m_view->setTables(m_tables);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_save, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &CyclesDialog::save);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
    resize(900, 520);

    askFileName = [this](const QString& title, const QString& suggested) {
        return QFileDialog::getSaveFileName(
            this, title, suggested, tr("CSV files (*.csv);;All files (*)"));
    };
}

void CyclesDialog::save()
{
    saveRunTables(*this, m_tables, m_dataFile, askFileName);
}

void saveRunTables(QWidget& parent, const analysis::RunTables& runTables,
    const std::string& dataFile,
    const std::function<QString(const QString& title, const QString& suggested)>& askFileName)
{
    std::string base;
    try {
        base = run::runNameBase(dataFile);
    } catch (const run::RunFailure&) {
        // A name too short for a base still gets the plain table names as a suggestion.
    }
    const std::pair<QString, std::string> tables[] = {
        { CyclesDialog::tr("Save the cycle table"), base + run::name_part::kCycleTable },
        { CyclesDialog::tr("Save the backbone table"), base + run::name_part::kBackboneTable },
    };
    const std::string texts[] = { analysis::cyclesCsv(runTables.cycles),
        analysis::backboneCsv(runTables.positive, runTables.negative) };
    for (std::size_t i = 0; i < 2; ++i) {
        const QString name = askFileName(tables[i].first, decoded(tables[i].second));
        if (name.isEmpty())
            return;
        const std::string path = encoded(name);
        std::string error;
        if (run::sameFile(path, dataFile))
            error = path + " is the data file itself; choose another name";
        else
            try {
                run::writeWholeFile(path, texts[i]);
            } catch (const run::RunFailure& failure) {
                error = failure.what();
            }
        if (!error.empty()) {
            messagePresenter().warning(
                &parent, QStringLiteral("Error"), QString::fromStdString(error));
            return;
        }
    }
}

}  // namespace ui
