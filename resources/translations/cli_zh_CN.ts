<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Cli</name>
    <message id="cliBadDevice">
        <source>cliBadDevice</source>
        <translation>“%1”不是设备：请给出 "flashwell-cli devices" 打印的编号，或 VID:PID。</translation>
    </message>
    <message id="cliBadRelease">
        <source>cliBadRelease</source>
        <translation>“%1”不是固件版本：请写成 版本 或 版本-beta N，例如 1.02 或 1.03-beta2。</translation>
    </message>
    <message id="cliBetaOnlyOptions">
        <source>cliBetaOnlyOptions</source>
        <translation>--beta-builds 只能用于 releases 和 update。</translation>
    </message>
    <message id="cliBootVersion">
        <source>cliBootVersion</source>
        <translation>升级程序 %1</translation>
    </message>
    <message id="cliBootloaderMode">
        <source>cliBootloaderMode</source>
        <translation>升级模式</translation>
    </message>
    <message id="cliBootloaderNeedsProduct">
        <source>cliBootloaderNeedsProduct</source>
        <translation>设备 %1 处于升级模式：请用 --product 名称 指明产品。</translation>
    </message>
    <message id="cliConfirm">
        <source>cliConfirm</source>
        <translation>将固件 %1 写入 %2（当前 %3）？[y/N] </translation>
    </message>
    <message id="cliDownloading">
        <source>cliDownloading</source>
        <translation>正在下载 %1…</translation>
    </message>
    <message id="cliFailed">
        <source>cliFailed</source>
        <translation>更新失败：%1</translation>
    </message>
    <message id="cliGaveUpWaiting">
        <source>cliGaveUpWaiting</source>
        <translation>等待设备进入升级模式超时，已放弃。</translation>
    </message>
    <message id="cliGuide">
        <source>cliGuide</source>
        <translation>请手动让设备进入升级模式：</translation>
    </message>
    <message id="cliGuideAfterFailure">
        <source>cliGuideAfterFailure</source>
        <translation>更新失败。请手动让设备进入升级模式，然后再次运行 flashwell-cli update（加上 --product 名称）：</translation>
    </message>
    <message id="cliHistoryEmpty">
        <source>cliHistoryEmpty</source>
        <translation>还没有更新记录。</translation>
    </message>
    <message id="cliHistorySkipped">
        <source>cliHistorySkipped</source>
        <translation>更新记录中有 %1 行无法读取，已跳过。</translation>
    </message>
    <message id="cliHistoryUnreadable">
        <source>cliHistoryUnreadable</source>
        <translation>无法读取更新记录：%1</translation>
    </message>
    <message id="cliHistoryWriteFailed">
        <source>cliHistoryWriteFailed</source>
        <translation>无法写入更新记录：%1</translation>
    </message>
    <message id="cliListFailed">
        <source>cliListFailed</source>
        <translation>无法获取固件列表：%1</translation>
    </message>
    <message id="cliListTimeout">
        <source>cliListTimeout</source>
        <translation>服务器未能及时返回固件列表。</translation>
    </message>
    <message id="cliNameDevice">
        <source>cliNameDevice</source>
        <translation>请指明设备："flashwell-cli devices" 打印的编号，或 VID:PID。</translation>
    </message>
    <message id="cliNoBootloader">
        <source>cliNoBootloader</source>
        <translation>没有处于升级模式的设备。</translation>
    </message>
    <message id="cliNoCommand">
        <source>cliNoCommand</source>
        <translation>请给出命令。</translation>
    </message>
    <message id="cliNoDevices">
        <source>cliNoDevices</source>
        <translation>未找到设备。</translation>
    </message>
    <message id="cliNoList">
        <source>cliNoList</source>
        <translation>服务器没有返回固件列表。</translation>
    </message>
    <message id="cliNoReleases">
        <source>cliNoReleases</source>
        <translation>%1 没有可用的固件。</translation>
    </message>
    <message id="cliNoSuchDevice">
        <source>cliNoSuchDevice</source>
        <translation>没有设备 %1。运行 "flashwell-cli devices" 查看设备列表。</translation>
    </message>
    <message id="cliNotConfirmed">
        <source>cliNotConfirmed</source>
        <translation>未写入任何内容。</translation>
    </message>
    <message id="cliOptionNeedsValue">
        <source>cliOptionNeedsValue</source>
        <translation>%1 需要一个值。</translation>
    </message>
    <message id="cliProductForBootloaderOnly">
        <source>cliProductForBootloaderOnly</source>
        <translation>--product 只用于处于升级模式的设备；此设备可自行识别。</translation>
    </message>
    <message id="cliSeveralBootloaders">
        <source>cliSeveralBootloaders</source>
        <translation>有多个设备处于升级模式：请用编号或 VID:PID 指明其中一个。</translation>
    </message>
    <message id="cliStopAsk">
        <source>cliStopAsk</source>
        <translation>正在写入固件：现在停止可能使设备没有可用的固件。再按一次 Ctrl-C 停止。</translation>
    </message>
    <message id="cliStopped">
        <source>cliStopped</source>
        <translation>已被用户停止。</translation>
    </message>
    <message id="cliSuccess">
        <source>cliSuccess</source>
        <translation>%1 已更新到 %2。</translation>
    </message>
    <message id="cliSwitchByHand">
        <source>cliSwitchByHand</source>
        <translation>需手动进入升级模式</translation>
    </message>
    <message id="cliSwitchable">
        <source>cliSwitchable</source>
        <translation>可自动进入升级模式</translation>
    </message>
    <message id="cliTooManyArguments">
        <source>cliTooManyArguments</source>
        <translation>多余的参数“%1”。</translation>
    </message>
    <message id="cliUnknownCommand">
        <source>cliUnknownCommand</source>
        <translation>未知命令“%1”。</translation>
    </message>
    <message id="cliUnknownOption">
        <source>cliUnknownOption</source>
        <translation>未知选项“%1”。</translation>
    </message>
    <message id="cliUnknownProduct">
        <source>cliUnknownProduct</source>
        <translation>产品目录中没有名为“%1”的产品。</translation>
    </message>
    <message id="cliUnknownRelease">
        <source>cliUnknownRelease</source>
        <translation>%2 没有固件版本 %1。运行 "flashwell-cli releases" 查看列表。</translation>
    </message>
    <message id="cliUnknownVersion">
        <source>cliUnknownVersion</source>
        <translation>未知</translation>
    </message>
    <message id="cliUpdateOnlyOptions">
        <source>cliUpdateOnlyOptions</source>
        <translation>--yes、--release 和 --product 只能用于 update。</translation>
    </message>
    <message id="cliUsage">
        <source>cliUsage</source>
        <translation>用法：flashwell-cli 命令 [--json]
  devices                          列出已连接的设备（带编号）
  releases 设备 [--beta-builds]    列出更新界面为该设备显示的固件版本
  update 设备 [--release 版本[-beta N]] [--yes] [--beta-builds] [--product 名称]
                                   下载、切换、写入并校验
        [--record 文件]            并把这次更新录制到该文件（见 README）
  history                          列出所有更新记录
  report                           版本、系统、HID 设备，以及设备无法打开的原因
  --help, -h                       显示本说明
  --version                        显示程序版本
“设备”是 devices 打印的编号，或 VID:PID（十六进制）。处于升级模式的设备需要
--product 名称（产品目录中的名称）。--json 每行输出一个 JSON 对象。
退出状态：0 成功，1 失败，2 用法错误，3 没有该设备。</translation>
    </message>
    <message id="cliVersion">
        <source>cliVersion</source>
        <translation>版本 %1</translation>
    </message>
    <message id="cliWaitingForDevice">
        <source>cliWaitingForDevice</source>
        <translation>正在等待设备进入升级模式（按 Ctrl-C 停止）…</translation>
    </message>
    <message id="cliWriting">
        <source>cliWriting</source>
        <translation>正在写入固件…</translation>
    </message>
    <message id="cliWritten">
        <source>cliWritten</source>
        <translation>已写入：%1 %</translation>
    </message>
    <message id="cliYesWord">
        <source>cliYesWord</source>
        <translation>是</translation>
    </message>
    <message id="historyCancelled">
        <source>historyCancelled</source>
        <translation>已取消</translation>
    </message>
    <message id="historyClose">
        <source>historyClose</source>
        <translation>关闭</translation>
    </message>
    <message id="historyDevice">
        <source>historyDevice</source>
        <translation>设备</translation>
    </message>
    <message id="historyDeviceLeft">
        <source>historyDeviceLeft</source>
        <translation>写入固件时设备已断开。</translation>
    </message>
    <message id="historyError">
        <source>historyError</source>
        <translation>错误</translation>
    </message>
    <message id="historyFailed">
        <source>historyFailed</source>
        <translation>失败</translation>
    </message>
    <message id="historyFile">
        <source>historyFile</source>
        <translation>文件</translation>
    </message>
    <message id="historyFrom">
        <source>historyFrom</source>
        <translation>原版本</translation>
    </message>
    <message id="historyIds">
        <source>historyIds</source>
        <translation>VID:PID</translation>
    </message>
    <message id="historyInterrupted">
        <source>historyInterrupted</source>
        <translation>已中断</translation>
    </message>
    <message id="historyMenu">
        <source>historyMenu</source>
        <translation>更新记录…</translation>
    </message>
    <message id="historyNoSignOfLife">
        <source>historyNoSignOfLife</source>
        <translation>更新已停止：设备 20 秒没有响应，或无法发送数据。</translation>
    </message>
    <message id="historyOutcome">
        <source>historyOutcome</source>
        <translation>结果</translation>
    </message>
    <message id="historySuccess">
        <source>historySuccess</source>
        <translation>成功</translation>
    </message>
    <message id="historyTime">
        <source>historyTime</source>
        <translation>时间</translation>
    </message>
    <message id="historyTitle">
        <source>historyTitle</source>
        <translation>更新记录</translation>
    </message>
    <message id="historyTo">
        <source>historyTo</source>
        <translation>新版本</translation>
    </message>
    <message id="historyUnreadable">
        <source>historyUnreadable</source>
        <translation>无法读取更新记录：%1</translation>
    </message>
    <message id="cliDevicesBusy">
        <source>cliDevicesBusy</source>
        <translation>另一个 Fenwyk Flashwell 正在使用设备：它的窗口，或终端中的一次更新。请关闭它，或等它的更新结束。</translation>
    </message>
</context>
</TS>
