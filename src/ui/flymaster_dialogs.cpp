#include "ui/flymaster_dialogs.hpp"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/names.hpp"
#include "core/report.hpp"
#include "protocols/flymaster/jobs.hpp"
#include "ui/settings_dialogs.hpp"

namespace orlogix::ui {

namespace {

using Rule = FlymasterDataDialog::Rule;
using Layout = FlymasterDataDialog::Layout;

// The instrument caps the alarm below this height.
constexpr long long kAltitudeAlarmLimit = 11001;

Layout layout_of(int entry) {
    switch (entry) {
    case 40145:
        return {flymaster::kPilotName, "Set Flymaster Name", "Set Flymaster data", "Blank fields are not sent",
                {{"Pilot name", 14, Rule::Text, "Pilot name", &PilotData::pilot_name},
                 {"Comp. number", 7, Rule::Text, "Comp. number", &PilotData::comp_id},
                 {"Glider brand", 14, Rule::Text, "Glider brand", &PilotData::glider_brand},
                 {"Glider model", 14, Rule::Text, "Glider model", &PilotData::glider_model}}};
    case 40157:
        return {flymaster::kAltitudeAlarm, "Set Flymaster altitude alarm", "Set Flymaster data",
                "Available from firmware version 1.21", {{"Altitude (m)", 6, Rule::Altitude, nullptr, nullptr}}};
    case 40166:
        return {flymaster::kIds, "Set Flymaster IDs", "Set Flymaster IDs", "",
                {{"Pilot name", 14, Rule::Text, "Pilot name", &PilotData::pilot_name},
                 {"COMP ID", 7, Rule::Digits, "Bad comp. ID", &PilotData::comp_id},
                 {"CIVL ID", 7, Rule::Digits, "Bad CIVL ID", &PilotData::civl_id}}};
    case 40015:
        // The LogIt takes 9 characters, blank-padded on the way out.
        return {0, "Write GPS name", "Write GPS name", "", {{"Name", 9, Rule::Name, "Name", &PilotData::pilot_name}}};
    case 40180:
        // The Graviter's 8 bytes of owner name, blank-padded on the way out.
        return {0, "Write GPS name", "Write GPS name", "",
                {{"Name", 8, Rule::Printable, "Name", &PilotData::pilot_name}}};
    default: return {};
    }
}

}  // namespace

namespace {

// Fields 3 to 5 of the DSX form, by the label choice.
constexpr const char* kFreeflightLabels[] = {"CIVLID", "Glider", "Sponsor"};
constexpr const char* kGlidingLabels[] = {"Comp. class", "Call sign", "Aircraft type"};

}  // namespace

std::unique_ptr<FlymasterDataDialog> FlymasterDataDialog::dsx_form(Reporter& r, const std::vector<std::string>& read,
                                                                   QWidget* parent) {
    const char* title = "Set DSX pilot data";
    Layout layout{0, title, title, "Blank fields are not sent",
                  {{"Pilot name", 62, Rule::Printable, "Pilot name", nullptr},
                   {"Comp. ID", 6, Rule::Printable, "Comp. ID", nullptr},
                   {kFreeflightLabels[0], 14, Rule::Printable, kFreeflightLabels[0], nullptr},
                   {kFreeflightLabels[1], 14, Rule::Printable, kFreeflightLabels[1], nullptr},
                   {kFreeflightLabels[2], 14, Rule::Printable, kFreeflightLabels[2], nullptr},
                   {"Extra text", 20, Rule::Printable, "Extra text", nullptr}}};
    auto d = std::make_unique<FlymasterDataDialog>(r, std::move(layout), parent);
    d->read_ = read;
    d->read_.resize(d->fields.size());
    for (std::size_t i = 0; i < d->fields.size(); ++i) d->fields[i]->setText(QString::fromStdString(d->read_[i]));
    auto* form = d->findChild<QFormLayout*>();
    auto* freeflight = new QRadioButton("Freeflight", d.get());
    d->gliding = new QRadioButton("Gliding && motorplanes", d.get());
    freeflight->setChecked(true);
    form->insertRow(0, freeflight, d->gliding);
    FlymasterDataDialog* self = d.get();
    connect(d->gliding, &QRadioButton::toggled, self, [self, form](bool on) {
        for (int i = 0; i < 3; ++i) {
            const char* label = on ? kGlidingLabels[i] : kFreeflightLabels[i];
            self->layout_.fields[static_cast<std::size_t>(2 + i)].label = label;
            self->layout_.fields[static_cast<std::size_t>(2 + i)].refusal = label;
            if (auto* l = qobject_cast<QLabel*>(form->labelForField(self->fields[static_cast<std::size_t>(2 + i)])))
                l->setText(label);
        }
    });
    return d;
}

std::unique_ptr<FlymasterDataDialog> FlymasterDataDialog::for_entry(Reporter& r, int entry, QWidget* parent) {
    Layout layout = layout_of(entry);
    if (layout.fields.empty()) return nullptr;
    return std::make_unique<FlymasterDataDialog>(r, std::move(layout), parent);
}

FlymasterDataDialog::FlymasterDataDialog(Reporter& r, Layout layout, QWidget* parent)
    : QDialog(parent), r_(r), layout_(std::move(layout)) {
    setWindowTitle(layout_.title);
    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (const Field& f : layout_.fields) {
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(f.max_length);
        form->addRow(f.label, edit);
        fields.push_back(edit);
    }
    outer->addLayout(form);
    if (*layout_.note) outer->addWidget(new QLabel(layout_.note, this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText("&Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
}

// A sentence field never carries '*' or ','; IDs are plain digits (or
// empty: an empty field); the alarm is a height in metres below 11 001.
bool FlymasterDataDialog::check(const Field& f, const std::string& text) {
    switch (f.rule) {
    case Rule::Text:
        for (const char c : {'*', ','})
            if (text.find(c) != std::string::npos) {
                r_.error_box(layout_.caption, strformat("%s contains '%c'", f.refusal, c));
                return false;
            }
        data_.*f.text = text;
        return true;
    case Rule::Name:
        // Nothing that would frame the sentence it goes out in.
        for (const char c : text)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ',' || c == '*' || c == '$') {
                r_.error_box(layout_.caption, strformat("%s contains '%c'", f.refusal, c >= 0x20 ? c : '?'));
                return false;
            }
        data_.*f.text = text;
        return true;
    case Rule::Printable: {
        // Plain printable ASCII: the instrument keeps bytes, not characters.
        const std::size_t index = data_.texts.size();
        // A text read and left as shown goes back as it was read, whole.
        const bool unchanged = index < read_.size() && text == QString::fromStdString(read_[index])
                                                                   .left(f.max_length).toStdString();
        if (!unchanged)
            for (const char c : text)
                if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
                    r_.error_box(layout_.caption, strformat("%s contains '?'", f.refusal));
                    return false;
                }
        if (f.text) data_.*f.text = text;
        else data_.texts.push_back(unchanged ? read_[index] : text);
        return true;
    }
    case Rule::Digits: {
        const std::string t = read_field_text(text, 64);
        long long ignored = 0;
        if (!t.empty() && !parse_unsigned(t, ignored)) {
            r_.error_box(layout_.caption, f.refusal);
            return false;
        }
        data_.*f.text = t;
        return true;
    }
    case Rule::Altitude: {
        long long metres = 0;
        if (read_field_text(text, 64).empty()) {
            r_.error_box(layout_.caption, "Missing input");
            return false;
        }
        if (!parse_unsigned(text, metres)) {
            r_.error_box(layout_.caption, "Bad input format");
            return false;
        }
        if (metres >= kAltitudeAlarmLimit) {
            r_.error_box(layout_.caption, "Altitude too high");
            return false;
        }
        data_.altitude_alarm = static_cast<int>(metres);
        sends_ = metres != 0;
        return true;
    }
    }
    return false;
}

void FlymasterDataDialog::accept() {
    data_ = PilotData{};
    data_.kind = layout_.kind;
    sends_ = true;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!check(layout_.fields[i], fields[i]->text().toStdString())) return;
    QDialog::accept();
}

}  // namespace orlogix::ui
