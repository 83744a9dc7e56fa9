<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>Content</name>
    <message>
        <location filename="../qml/StatusCard.qml" line="+28"/>
        <source>设备信息</source>
        <translation>DeviceInfo</translation>
    </message>
    <message>
        <location filename="../qml/status_rules.js" line="+80"/>
        <source>设备型号</source>
        <translation>Device Model</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>设备编号</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>出光状态</source>
        <translation>Laser State</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>使能开启</source>
        <translation>Enable</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>使能关闭</source>
        <translation>Disable</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>控制状态</source>
        <translation>Control State</translation>
    </message>
    <message>
        <location filename="../qml/IntCtrlCard.qml" line="+124"/>
        <location filename="../qml/status_rules.js" line="+3"/>
        <source>内控</source>
        <translation>Internal</translation>
    </message>
    <message>
        <location line="-10"/>
        <location filename="../qml/status_rules.js" line="+1"/>
        <source>外控</source>
        <translation>External</translation>
    </message>
    <message>
        <location filename="../qml/status_rules.js" line="+5"/>
        <source>急停状态</source>
        <translation>Emergency State</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>急停</source>
        <translation>Emergency stop</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+8"/>
        <location line="+9"/>
        <location line="+9"/>
        <location line="+9"/>
        <location line="+9"/>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <location line="-39"/>
        <source>存储状态</source>
        <translation>Storage State</translation>
    </message>
    <message>
        <location line="+4"/>
        <location line="+9"/>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>时钟状态</source>
        <translation>Clock State</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>蓝牙状态</source>
        <translation>Bluetooth</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>未就绪</source>
        <translation>NotReady</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>水冷状态</source>
        <translation>Water Cooler State</translation>
    </message>
    <message>
        <location line="+4"/>
        <location line="+9"/>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <location line="-4"/>
        <source>QBH状态</source>
        <translation>QBH State</translation>
    </message>
    <message>
        <location filename="../qml/content_rules.js" line="+101"/>
        <source>离线</source>
        <translation>Offline</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>等待数据</source>
        <translation>Waiting for data</translation>
    </message>
    <message>
        <location filename="../qml/Content.qml" line="+194"/>
        <location filename="../qml/status_rules.js" line="+9"/>
        <source>进水温度</source>
        <translation>Inlet Water Temp</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../qml/status_rules.js" line="+6"/>
        <source>出水温度</source>
        <translation>Outlet Water Temp</translation>
    </message>
    <message>
        <location line="+0"/>
        <location filename="../qml/status_rules.js" line="+6"/>
        <source>环境温度</source>
        <translation>Ambient Temp</translation>
    </message>
    <message>
        <location filename="../qml/status_rules.js" line="+6"/>
        <source>环境湿度</source>
        <translation>Ambient Humidity</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>红光电流</source>
        <translation>Red Light Current</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>光电信号</source>
        <translation>Optical Signals</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>泵浦电流</source>
        <translation>Pump Current</translation>
    </message>
    <message>
        <location filename="../qml/IntCtrlCard.qml" line="-50"/>
        <source>激光内控</source>
        <translation>LaserInternalControl</translation>
    </message>
    <message>
        <location line="+26"/>
        <location filename="../qml/MessageCard.qml" line="+47"/>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>持续出光模式</source>
        <translation>Continuous emission mode</translation>
    </message>
    <message>
        <location line="-71"/>
        <source>频率</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>占空比</source>
        <translation>Duty</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>峰值功率</source>
        <translation>Peak Power</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>出光时间</source>
        <translation>Duration</translation>
    </message>
    <message>
        <location line="+122"/>
        <source>错误:参数范围</source>
        <translation>Error:Parameter range</translation>
    </message>
    <message>
        <location filename="../qml/Content.qml" line="-161"/>
        <source>会话记录不可用: </source>
        <translation>Session journal unavailable: </translation>
    </message>
    <message>
        <location filename="../qml/StatusCard.qml" line="+49"/>
        <source>接收指示</source>
        <translation>Receive indicator</translation>
    </message>
    <message>
        <location filename="../qml/IntCtrlCard.qml" line="+14"/>
        <source>出光</source>
        <translation>ON</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>关光</source>
        <translation>OFF</translation>
    </message>
    <message>
        <location filename="../qml/MessageCard.qml" line="-25"/>
        <location line="+55"/>
        <source>运行信息</source>
        <translation>OperationInformation</translation>
    </message>
    <message>
        <location line="-39"/>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>—— 程序重新启动 ——</source>
        <translation>—— Program restarted ——</translation>
    </message>
    <message>
        <location filename="../qml/Content.qml" line="+156"/>
        <source>光感曲线</source>
        <translation>OpticalChart</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>光感</source>
        <translation>Optical</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>显示温度曲线</source>
        <translation>Display temperature chart</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>温度曲线</source>
        <translation>TemperatureChart</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>显示光感曲线</source>
        <translation>Display Optical Chart</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>泵浦电流曲线</source>
        <translation>PumpCurrentChart</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>显示功率曲线</source>
        <translation>Display Power Chart</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>激光功率曲线</source>
        <translation>LaserPowerChart</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>调制功率</source>
        <translation>Modulation Power</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>显示电流曲线</source>
        <translation>Display Current Chart</translation>
    </message>
    <message>
        <location line="-174"/>
        <source>请连接设备</source>
        <translation>Please connect deviece</translation>
    </message>
</context>
<context>
    <name>IconButton</name>
    <message>
        <location filename="../qml/IconButton.qml" line="+12"/>
        <source>保存</source>
        <translation>Save</translation>
    </message>
</context>
<context>
    <name>Language</name>
    <message>
        <location filename="../src/services/language.cpp" line="+77"/>
        <source>新程序未能启动</source>
        <translation>the new copy did not start</translation>
    </message>
</context>
<context>
    <name>Model</name>
    <message>
        <location filename="../qml/Model.qml" line="+9"/>
        <source>提示信息</source>
        <translation>Message</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>提示</source>
        <translation>Tips</translation>
    </message>
    <message>
        <location line="-2"/>
        <source>警告</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>确认操作</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>输入</source>
        <translation>Input</translation>
    </message>
    <message>
        <location line="+137"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>MyLed</name>
    <message>
        <location filename="../qml/MyLed.qml" line="+15"/>
        <source>开</source>
        <translation>ON</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>关</source>
        <translation>OFF</translation>
    </message>
</context>
<context>
    <name>MyRangeSlider</name>
    <message>
        <location filename="../qml/MyRangeSlider.qml" line="+83"/>
        <location line="+1"/>
        <source>%1 (设备值)</source>
        <translation>%1 (device value)</translation>
    </message>
</context>
<context>
    <name>MySlider</name>
    <message>
        <location filename="../qml/MySlider.qml" line="+53"/>
        <source>%1 (设备值)</source>
        <translation>%1 (device value)</translation>
    </message>
</context>
<context>
    <name>MySwitch</name>
    <message>
        <location filename="../qml/MySwitch.qml" line="+10"/>
        <source>开</source>
        <translation>ON</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>关</source>
        <translation>OFF</translation>
    </message>
</context>
<context>
    <name>NormalChart</name>
    <message>
        <location filename="../qml/ChartSaveButton.qml" line="+15"/>
        <source>保存波形</source>
        <translation>Save wave</translation>
    </message>
    <message>
        <location filename="../qml/NormalChart.qml" line="+478"/>
        <source>重置图表</source>
        <translation>Reset chart</translation>
    </message>
    <message>
        <location filename="../qml/ChartCursor.qml" line="+38"/>
        <source>时刻</source>
        <translation>Time</translation>
    </message>
    <message>
        <location filename="../qml/ChartSaveDialog.qml" line="+53"/>
        <source>保存失败: </source>
        <translation>Save failed: </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>保存波形文件</source>
        <translation>Save wave to file</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>波形文件</source>
        <translation>WaveFile</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>带日期的CSV (ISO 8601)</source>
        <translation>CSV with date (ISO 8601)</translation>
    </message>
    <message>
        <location line="-38"/>
        <location line="+20"/>
        <source>时间戳</source>
        <translation>Time</translation>
    </message>
    <message>
        <location filename="../qml/ChartHistory.qml" line="+111"/>
        <source>历史</source>
        <translation>History</translation>
    </message>
    <message>
        <location line="-26"/>
        <source>%1 不在记录中</source>
        <translation>%1 is not in the recording</translation>
    </message>
</context>
<context>
    <name>Public</name>
    <message>
        <location filename="../qml/Public.qml" line="+44"/>
        <source>湿度过高</source>
        <translation>ExcessiveHumidity</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>蓝牙未就绪</source>
        <translation>BleNotReady</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>QBH断开</source>
        <translation>QBH_Disconnection</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>水冷断开</source>
        <translation>WaterCoolingDisconnection</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>进水温度高</source>
        <translation>InletWaterTemperatureHigh</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>进水温度低</source>
        <translation>InletWaterTemperatureLow</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>出水温度高</source>
        <translation>OutletWaterTemperatureHigh</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>出水温度低</source>
        <translation>OutletWaterTemperatureLow</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PD错误</source>
        <translation>PD_Error</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流错误</source>
        <translation>CurrentError</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>急停</source>
        <translation>EmergencyStop</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>高级参数设置成功</source>
        <translation>Advanced parameters set successfully</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准完成</source>
        <translation>Calibration completed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校准失败</source>
        <translation>Calibration failed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>QCW模式启用</source>
        <translation>QCW mode enabled</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>QCW模式禁用</source>
        <translation>QCW mode disabled</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>光电报警锁定</source>
        <translation>PD ERROR LOCK</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>重置参数完成</source>
        <translation>Reset parameters completed</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>设备版本</source>
        <translation>DeviceVersion</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>开机总时长</source>
        <translation>TotalPowerOnTime</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>出光总时长</source>
        <translation>TotalLaserOnTime</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>分钟</source>
        <translation>mins</translation>
    </message>
    <message>
        <location line="-25"/>
        <source>报警解除</source>
        <translation>AlarmCleared</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>未知错误</source>
        <translation>UnknowError</translation>
    </message>
</context>
<context>
    <name>Sidebar</name>
    <message>
        <location filename="../qml/ConnectionCard.qml" line="+26"/>
        <source>设备连接</source>
        <translation>DeviceConnect</translation>
    </message>
    <message>
        <location filename="../qml/SettingsCard.qml" line="+19"/>
        <source>其它设置</source>
        <translation>Other</translation>
    </message>
    <message>
        <location filename="../qml/AdvancedCard.qml" line="+223"/>
        <location filename="../qml/ConnectionCard.qml" line="+84"/>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <location filename="../qml/SettingsCard.qml" line="+85"/>
        <source>亮色主题</source>
        <translation>Light</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>暗色主题</source>
        <translation>Dark</translation>
    </message>
    <message>
        <location filename="../qml/PowerPanel.qml" line="+26"/>
        <location line="+19"/>
        <source>功率</source>
        <translation>Power</translation>
    </message>
    <message>
        <location filename="../qml/ConnectionCard.qml" line="-36"/>
        <source>连接已断开: %1</source>
        <translation>Connection lost: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>已重新连接: %1</source>
        <translation>Reconnected: %1</translation>
    </message>
    <message>
        <location filename="../qml/SettingsCard.qml" line="-63"/>
        <source>正在出光,切换主题将重启程序,确定继续吗?</source>
        <translation>The laser is emitting. Switching the theme restarts the program. Continue?</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>无法重新启动程序</source>
        <translation>Could not restart the program</translation>
    </message>
    <message>
        <location filename="../qml/ConnectionCard.qml" line="+44"/>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <location filename="../qml/SettingsCard.qml" line="+16"/>
        <source>中/En</source>
        <translation>中/En</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>软件帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <location filename="../qml/AdvancedCard.qml" line="-185"/>
        <source>高级设置</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <location line="+171"/>
        <source>锁定</source>
        <translation>Lock</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>报警参数</source>
        <translation>Alarm</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>QCW参数</source>
        <translation>QCW</translation>
    </message>
    <message>
        <location filename="../qml/AlarmParamsPage.qml" line="+92"/>
        <source>重置参数</source>
        <translation>Reset parameters</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>红光强度</source>
        <translation>RedLight</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>光电报警阈值</source>
        <translation>OpticalAlarm</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>驱动电流报警阈值</source>
        <translation>DriveCurrent</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>环境湿度报警阈值</source>
        <translation>AmbientHumi</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>入水温报警值</source>
        <translation>InletWaterTemp</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>出水温报警值</source>
        <translation>OutletWaterTemp</translation>
    </message>
    <message>
        <location line="+106"/>
        <location line="+21"/>
        <source>输入密码解锁</source>
        <translation>Enter Password</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <location filename="../qml/QcwParamsPage.qml" line="+47"/>
        <source>QCW占空比</source>
        <translation>QCW Duty</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>QCW频率</source>
        <translation>QCW Freq</translation>
    </message>
    <message>
        <location line="-14"/>
        <location line="+15"/>
        <source>错误:参数范围</source>
        <translation>Error:Parameter range</translation>
    </message>
    <message>
        <location line="+12"/>
        <location line="+17"/>
        <source>QCW使能状态</source>
        <translation>QCW Enable</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>脉宽</source>
        <translation>PulseWidth</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>周期</source>
        <translation>Period</translation>
    </message>
    <message>
        <location filename="../qml/ConnectionCard.qml" line="-76"/>
        <source>连接失败</source>
        <translation>Connect Failed</translation>
    </message>
    <message>
        <location filename="../qml/AdvancedCard.qml" line="-143"/>
        <source>密码错误</source>
        <translation>Password error</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+32"/>
        <location line="+11"/>
        <location line="+5"/>
        <source>请连接设备</source>
        <translation>Please connect device</translation>
    </message>
    <message>
        <location line="-12"/>
        <source>您正在出光时修改参数,按确定继续</source>
        <translation>You are modifying the parameters while the laser is out, press OK to continue</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>确定要重置参数吗</source>
        <translation>Are you sure you want to reset the parameters</translation>
    </message>
</context>
<context>
    <name>TxtButton</name>
    <message>
        <location filename="../qml/TxtButton.qml" line="+7"/>
        <source>按钮</source>
        <translation>Button</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <location filename="../main.qml" line="+131"/>
        <source>工厂数据推送已连接: </source>
        <translation>Plant feed connected: </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>工厂数据推送中断: </source>
        <translation>Plant feed interrupted: </translation>
    </message>
    <message>
        <location line="+6"/>
        <source>工厂数据推送设置错误: </source>
        <translation>Plant feed setting error: </translation>
    </message>
    <message>
        <location line="+20"/>
        <source>设备无响应: %1</source>
        <translation>Device not responding: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>设备已恢复: %1</source>
        <translation>Device responding again: %1</translation>
    </message>
</context>
</TS>
