// SPDX-License-Identifier: MIT
#include "FormBuilder.h"

#include <algorithm>

void FormBuilder::place(QWidget *widget, const Row &row)
{
    widget->setObjectName(row.name);
    widget->setGeometry(DesignUnits::pixels(row.twips));
    widget->setToolTip(row.toolTip);
    if (row.tabIndex >= 0)
        m_tabStops.emplace_back(row.tabIndex, widget);
}

QWidget *FormBuilder::chainTabs()
{
    std::sort(m_tabStops.begin(), m_tabStops.end(),
        [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < m_tabStops.size(); ++i)
        QWidget::setTabOrder(m_tabStops[i - 1].second, m_tabStops[i].second);
    if (m_tabStops.empty())
        return nullptr;
    m_tabStops.front().second->setFocus(Qt::OtherFocusReason);
    return m_tabStops.front().second;
}
