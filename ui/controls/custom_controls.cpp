#include "ui/controls/custom_controls.h"

#include <memory>

#include "ui/widgets/dialog_builder.h"

namespace q731 {

namespace {

template <typename T>
void Register() {
    // The class name a control answers is the element name layouts use.
    const T probe;
    CControlFactory::GetInstance().RegistControl(probe.GetClass(),
                                                 [] { return std::make_unique<T>(); });
}

}  // namespace

void RegisterCustomControls() {
    Register<CCircleProgressUI>();
    Register<CDeviceKeyButtonUI>();
    Register<CHandImgButtonUI>();
    Register<CHandImgSelectButtonUI>();
    Register<CRedioMacroButtonUI>();
    Register<CSelectPanelUI>();
    Register<CRerurIvavudUI>();
    Register<CChartViewUI>();
    Register<CWndUI>();
    Register<CComboEditContainerElementUI>();
    Register<CLightControlUI>();
    Register<CKeySetControlUI>();
    Register<CDeviceProfileUI>();
    Register<CShootControlUI>();
    Register<CVoice6533ControlUI>();
    Register<CMagicControlUI>();
}

}  // namespace q731
