#include "ui/plot_window/cycle_panel.h"

#include <QVBoxLayout>

namespace ui {

CyclePanel::CyclePanel(QWidget* parent)
    : QDockWidget(tr("Cycle analysis"), parent)
    , m_view(new CycleAnalysisView(this))
{
    setObjectName(QStringLiteral("cyclePanel"));
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_view, 1);
    setWidget(content);
}

}  // namespace ui
