// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/production/stationtile.h"

#include "app/production/productionlook.h"

#include <QAccessible>
#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

using ProductionLook::plainLabel;

} // namespace

StationTile::StationTile(int port, const QString &device, QWidget *parent)
    : QFrame(parent), m_port(port)
{
    setObjectName(u"stationTile%1"_s.arg(port));
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::TabFocus);  // a screen reader user reaches each tile in turn
    setMinimumWidth(fontMetrics().horizontalAdvance(u'M') * 18);

    m_title = plainLabel(this, u"titleLabel"_s);
    m_title->setText(device.isEmpty() ? tr("COM%1").arg(port) : tr("COM%1: %2").arg(port).arg(device));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);

    m_state = plainLabel(this, u"stateLabel"_s);
    m_state->setMinimumHeight(m_state->fontMetrics().lineSpacing() * 3);
    m_state->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Readable from two metres: several times the window's font.
    m_verdictLabel = plainLabel(this, u"verdictLabel"_s);
    m_verdictLabel->setAlignment(Qt::AlignCenter);
    QFont large = m_verdictLabel->font();
    large.setPointSizeF(large.pointSizeF() * 4);
    large.setBold(true);
    m_verdictLabel->setFont(large);
    m_verdictLabel->setFixedHeight(QFontMetrics(large).height() + 2 * QFontMetrics(large).descent());
    m_verdictLabel->setAutoFillBackground(true);

    m_counts = plainLabel(this, u"countsLabel"_s);
    m_lastChip = plainLabel(this, u"lastChipLabel"_s);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_state);
    layout->addWidget(m_verdictLabel);
    layout->addWidget(m_counts);
    layout->addWidget(m_lastChip);
    layout->addStretch(1);
    // Never squeezed below what its lines need: the large word must not cover the counts.
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    setCounts(0, 0);
    setLastChip({}, {});
    setState(tr("Not started"));
}

QString StationTile::state() const
{
    return m_state->text();
}

void StationTile::setState(const QString &state)
{
    if (m_state->text() == state)
        return;
    m_state->setText(state);
    announce();
}

void StationTile::setVerdict(Verdict verdict)
{
    m_verdict = verdict;
    QPalette palette = m_verdictLabel->palette();
    switch (verdict) {
    case Verdict::None:
        m_verdictLabel->clear();
        palette = this->palette();
        break;
    case Verdict::Pass:
        m_verdictLabel->setText(tr("PASS"));
        palette.setColor(QPalette::Window, ProductionLook::PassColour);
        palette.setColor(QPalette::WindowText, Qt::white);
        break;
    case Verdict::Fail:
        m_verdictLabel->setText(tr("FAIL"));
        palette.setColor(QPalette::Window, ProductionLook::FailColour);
        palette.setColor(QPalette::WindowText, Qt::white);
        break;
    }
    m_verdictLabel->setPalette(palette);
}

void StationTile::setCounts(int passed, int failed)
{
    m_passed = passed;
    m_failed = failed;
    m_counts->setText(tr("Passed: %1   Failed: %2").arg(passed).arg(failed));
}

void StationTile::setLastChip(const QString &identity, const QString &time)
{
    m_lastChip->setText(identity.isEmpty() && time.isEmpty() ? tr("Last chip: none yet")
                                                             : tr("Last chip: %1 at %2").arg(identity, time));
}

void StationTile::announce()
{
    setAccessibleName(tr("COM%1: %2").arg(m_port).arg(m_state->text()));
    setAccessibleDescription(tr("%1. Passed %2, failed %3.").arg(m_title->text()).arg(m_passed).arg(m_failed));
    QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
    QAccessibleEvent descriptionChanged(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&descriptionChanged);
}
