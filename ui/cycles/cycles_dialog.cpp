#include "ui/cycles/cycles_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QVBoxLayout>

namespace ui {

CyclesDialog::CyclesDialog(CycleRun run, const analysis::CycleOptions& options, QWidget* parent)
    : QDialog(parent)
    , m_view(new CycleAnalysisView(this))
{
    setObjectName(QStringLiteral("CyclesDialog"));
    setWindowTitle(tr("Cycles — %1").arg(QFile::decodeName(run.dataFile.c_str())));
    m_view->setOptions(options);
    m_view->setRun(std::move(run));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
    resize(1000, 640);
}

}  // namespace ui
