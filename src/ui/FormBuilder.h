// SPDX-License-Identifier: MIT
#pragma once

#include "DesignUnits.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

#include <type_traits>
#include <utility>
#include <vector>

// Builds a window's controls as designed: each named, placed by its rectangle in twips relative
// to its container, with its caption and tooltip, and chained into the tab order by its index.
class FormBuilder
{
public:
    struct Row
    {
        QString name;
        QRect twips;
        QString caption {};
        QString toolTip {};
        int tabIndex = -1; // none: the control takes no focus
    };

    template<typename Widget> Widget *add(QWidget *parent, const Row &row)
    {
        auto *widget = new Widget(parent);
        if constexpr (std::is_base_of_v<QGroupBox, Widget>)
            widget->setTitle(row.caption);
        else if constexpr (std::is_base_of_v<QAbstractButton,
                               Widget> || std::is_base_of_v<QLabel, Widget>)
            widget->setText(row.caption);
        place(widget, row);
        return widget;
    }

    // Links the controls in the order of their tab indexes, gives the first one the focus, and
    // returns it.
    QWidget *chainTabs();

private:
    void place(QWidget *widget, const Row &row);

    std::vector<std::pair<int, QWidget *>> m_tabStops;
};
