// The built-in message catalogue, the current language and the language file.
#include "translations.h"

#include <QByteArray>
#include <QHash>
#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

// English key, Simplified Chinese, Spanish. Keys are looked up by their exact bytes, so every
// apostrophe, ellipsis and space matters; each translation keeps its key's printf placeholders
// in the same order, because callers format the translated text.
// clang-format off
const Quilt::Message messages[] = {
    {"Motion preview paused", "体感预览已暂停", "Vista previa de movimiento en pausa"},
    {"No motion sensor data", "没有体感传感器数据", "Sin datos del sensor de movimiento"},
    {"The line shows tilt. The dot follows gyro motion, or the right stick when selected.", "线条表示倾斜。圆点跟随陀螺仪体感移动；选择右摇杆时则跟随右摇杆。", "La línea muestra la inclinación. El punto sigue el movimiento del giroscopio o, si está seleccionado, el stick derecho."},
    {"Help", "帮助", "Ayuda"},
    {"Install the game to play", "请先安装游戏", "Instala el juego para jugar"},
    {"cannot replace settings", "无法替换设置文件", "no se puede reemplazar el archivo de ajustes"},
    {"Home page", "主页", "Inicio"},
    {"Basic settings", "基本设置", "Ajustes básicos"},
    {"Advanced settings", "高级设置", "Ajustes avanzados"},
    {"Graphics and performance", "图形与性能", "Gráficos y rendimiento"},
    {"Display and sound", "显示与声音", "Pantalla y sonido"},
    {"Picture and volume", "画面与音量", "Imagen y volumen"},
    {"Buttons and motion", "按键与体感", "Botones y movimiento"},
    {"Open your save folder", "打开存档文件夹", "Abre tu carpeta de partidas"},
    {"How to play", "操作说明", "Cómo jugar"},
    {"Customize controls", "自定义操作", "Personalizar controles"},
    {"Choose game data", "选择游戏数据", "Elegir datos"},
    {"Basic settings are saved automatically.", "基本设置会自动保存。", "Los ajustes básicos se guardan automáticamente."},
    {"Window and presentation", "窗口与画面", "Ventana e imagen"},
    {"Change binding", "更改绑定", "Cambiar asignación"},
    {"Motion", "体感", "Movimiento"},
    {"Input settings", "输入设置", "Ajustes de entrada"},
    {"Sticks and triggers", "摇杆与扳机", "Sticks y gatillos"},
    {"Game data folder", "游戏数据文件夹", "Carpeta de datos del juego"},
    {"Close without saving?", "设置保存失败，放弃更改并关闭？", "No se pudieron guardar los ajustes. ¿Salir sin guardarlos?"},
    {"Close without saving", "不保存并关闭", "Salir sin guardar"},
    {"Launcher connection closed", "启动器服务已断开，请重新打开启动器。", "Se ha cerrado la conexión. Vuelve a abrir el lanzador."},
    {"Could not open folder", "无法打开文件夹", "No se pudo abrir la carpeta"},
    {"Data verification failed: ", "数据验证失败：", "Error de verificación: "},
    {"Only VQ3E88 Rev 0 is supported", "仅支持 VQ3E88 Rev 0", "Solo se admite VQ3E88 Rev 0"},
    {"Supported DOL size mismatch", "DOL 文件大小与支持的版本不符", "El tamaño del DOL no coincide con la versión admitida"},
    {"Unsupported DOL SHA-256; unmodified VQ3E88 Rev 0 required", "DOL 的 SHA-256 不受支持；需要未经修改的 VQ3E88 Rev 0", "El SHA-256 del DOL no es compatible; se requiere VQ3E88 Rev 0 sin modificar"},
    {"Cannot read complete game DOL", "无法完整读取游戏 DOL", "No se puede leer el DOL completo del juego"},
    {"Play", "游玩", "Jugar"},
    {"Install", "安装", "Instalación"},
    {"Display", "显示", "Pantalla"},
    {"Audio", "音频", "Audio"},
    {"Controls", "操作", "Controles"},
    {"Saves", "存档", "Partidas"},
    {"Diagnostics", "诊断", "Diagnóstico"},
    {"Game language", "游戏语言", "Idioma del juego"},
    {"Applies the next time you start the game.", "下次启动游戏时生效。", "Se aplica la próxima vez que inicies el juego."},
    {"Language", "语言", "Idioma"},
    {"Tobble's Grand Quilt", "拼布托波", "Tobble's Grand Quilt"},
    {"Start game", "开始游戏", "Jugar"},
    {"Game library", "游戏库", "Biblioteca del juego"},
    {"Resolution and effects", "分辨率与特效", "Resolución y efectos"},
    {"Button mapping", "按键绑定", "Asignación de botones"},
    {"Save files", "存档文件夹", "Carpeta de partidas"},
    {"Game data verified", "游戏数据已验证", "Datos del juego verificados"},
    {"Game data needs attention", "游戏数据有问题", "Revisa los datos del juego"},
    {"Open Install", "前往安装", "Ir a Instalación"},
    {"Game running", "游戏运行中", "Jugando"},
    {"Game data", "游戏数据", "Datos del juego"},
    {"Next launch", "下次启动", "Próximo inicio"},
    {"Save settings", "保存设置", "Guardar ajustes"},
    {"Unsaved changes", "有未保存的更改", "Cambios sin guardar"},
    {"No unsaved changes", "没有未保存的更改", "No hay cambios sin guardar"},
    {"Settings need attention. Open Diagnostics to fix them.", "设置文件有问题。请打开“诊断”进行修复。", "Hay un problema con los ajustes. Abre Diagnóstico para corregirlo."},
    {"Show Diagnostics", "查看诊断", "Ver diagnóstico"},
    {"Could not save the language preference.", "无法保存语言设置。", "No se pudo guardar el idioma elegido."},
    {"Game closed", "游戏已关闭", "Juego cerrado"},
    {"Game stopped with an error. Open Logs for details.", "游戏因出错而停止。请在“诊断”中打开日志查看详情。", "El juego se detuvo por un error. Abre los registros desde Diagnóstico para ver los detalles."},
    {"VQ3E88 Rev 0 (USA) verified", "VQ3E88 Rev 0（美版）已验证", "VQ3E88 Rev 0 (EE. UU.) verificado"},
    {"Select your extracted DATA folder", "选择已解压的 DATA 文件夹", "Selecciona la carpeta DATA extraída"},
    {"Could not save settings", "无法保存设置", "No se pudieron guardar los ajustes"},
    {"Installation selection changed. Restart the launcher before playing.", "安装位置已更改。请重启启动器后再开始游戏。", "La instalación seleccionada ha cambiado. Reinicia el lanzador antes de jugar."},
    {"Choose your game in Install to prepare it.", "请在“安装”中选择你的游戏，完成准备。", "Elige tu juego en Instalación para prepararlo."},
    {"Checking native executable...", "正在检查原生可执行文件……", "Comprobando el ejecutable nativo..."},
    {"Refresh build information after the game closes", "请在游戏关闭后刷新构建信息", "Actualiza la información de compilación cuando se cierre el juego"},
    {"Native build has not been checked", "尚未检查原生构建", "La compilación nativa aún no se ha comprobado"},
    {"Choose the extracted DATA folder from your own VQ3E88 Rev 0 (USA) copy, then open Play.", "选择从你自己的 VQ3E88 Rev 0（美版）光盘中解压出的 DATA 文件夹，然后回到“主页”开始游戏。", "Elige la carpeta DATA extraída de tu propia copia de VQ3E88 Rev 0 (EE. UU.) y luego vuelve a Inicio para jugar."},
    {"Choose DATA folder", "选择 DATA 文件夹", "Elegir carpeta DATA"},
    {"Verify selected folder", "验证所选文件夹", "Verificar carpeta seleccionada"},
    {"This package is already compiled. To use a WBFS or rebuild, run tools/windows/build-windows.ps1 in the source checkout.", "此安装包已编译完成。如需使用 WBFS 或重新构建，请在源码目录中运行 tools/windows/build-windows.ps1。", "Este paquete ya está compilado. Para usar un WBFS o recompilar, ejecuta tools/windows/build-windows.ps1 en la copia del código fuente."},
    {"Tobble Setup handles installation and updates in a separate window.", "Tobble Setup 会在单独的窗口中处理安装和更新。", "Tobble Setup se encarga de la instalación y las actualizaciones en una ventana aparte."},
    {"Choose your own disc image in Tobble Setup. It downloads the tools, builds the game and shows progress. Return here to play and change settings.", "在 Tobble Setup 中选择你自己的光盘镜像。它会下载所需工具、构建游戏并显示进度。完成后回到这里即可开始游戏或更改设置。", "Elige tu propia imagen de disco en Tobble Setup. El programa descarga las herramientas, compila el juego y muestra el progreso. Después, vuelve aquí para jugar y cambiar los ajustes."},
    {"Open Tobble Setup", "打开 Tobble Setup", "Abrir Tobble Setup"},
    {"Close the game before updating the installation.", "请先关闭游戏，再更新安装。", "Cierra el juego antes de actualizar la instalación."},
    {"Open your Tobble Setup AppImage or Windows setup application to install the game.", "请打开 Tobble Setup 的 AppImage 或 Windows 安装程序来安装游戏。", "Abre la AppImage de Tobble Setup o el instalador de Windows para instalar el juego."},
    {"Installed game", "已安装的游戏", "Juego instalado"},
    {"Installation: %.12s", "安装：%.12s", "Instalación: %.12s"},
    {"Start in fullscreen", "以全屏模式启动", "Iniciar en pantalla completa"},
    {"Open the game in borderless fullscreen on the next launch. Press Alt+Enter while playing to switch between fullscreen and windowed mode for that session.", "下次启动时以无边框全屏模式打开游戏。游戏过程中按 Alt+Enter 可临时切换全屏和窗口模式。", "Abre el juego en pantalla completa sin bordes la próxima vez que se inicie. Mientras juegas, pulsa Alt+Intro para alternar entre pantalla completa y ventana hasta que cierres el juego."},
    {"VSync", "垂直同步", "VSync"},
    {"Synchronize presentation with the display. Turning this off can reduce stalls on some drivers.", "使画面与显示器的刷新同步。在某些显卡驱动上关闭此项可减少卡顿。", "Sincroniza la imagen con la frecuencia de la pantalla. Desactivarlo puede reducir los tirones con algunos controladores gráficos."},
    {"Experimental performance mode", "实验性性能模式", "Modo de rendimiento experimental"},
    {"Reduces GPU copy waits and repeated texture processing. Compatibility testing is ongoing.", "减少 GPU 复制等待和重复的纹理处理。兼容性测试仍在进行中。", "Reduce las esperas de copia de la GPU y el procesamiento repetido de texturas. Las pruebas de compatibilidad siguen en curso."},
    {"Image quality", "画质", "Calidad de imagen"},
    {"Internal resolution", "内部分辨率", "Resolución interna"},
    {"1x (native)", "1x（原生）", "1x (nativa)"},
    {"Renders geometry at a higher resolution for sharper edges. Higher multipliers use more GPU time and memory; original texture detail is unchanged.", "以更高分辨率渲染几何体，使边缘更清晰。倍率越高，占用的 GPU 时间和显存越多；原始纹理细节不变。", "Renderiza la geometría a mayor resolución para obtener bordes más nítidos. Los multiplicadores altos consumen más tiempo de GPU y memoria; el detalle original de las texturas no cambia."},
    {"Anti-aliasing", "抗锯齿", "Antialiasing"},
    {"Off", "关闭", "Desactivado"},
    {"On", "开启", "Activado"},
    {"Smooths polygon edges. Can be combined with internal resolution scaling. Changes apply on the next game launch.", "平滑多边形边缘，可与内部分辨率缩放同时使用。更改将在下次启动游戏时生效。", "Suaviza los bordes de los polígonos. Se puede combinar con el escalado de la resolución interna. Los cambios se aplican en el próximo inicio del juego."},
    {"FXAA smooths edges in the final image at a low GPU cost, but can soften fine details. MSAA smooths geometry edges; the combined mode applies both.", "FXAA 以较低的 GPU 开销平滑最终画面的边缘，但可能使细节变模糊。MSAA 平滑几何体边缘；组合模式同时使用两者。", "FXAA suaviza los bordes de la imagen final con un bajo coste de GPU, pero puede difuminar los detalles finos. MSAA suaviza los bordes de la geometría; el modo combinado aplica ambos."},
    {"Resolution and frame rate", "分辨率与帧率", "Resolución y tasa de fotogramas"},
    {"16:9 widescreen. Windowed mode opens at 960 x 540. Both modes keep widescreen proportions, adding black bars as needed.", "16:9 宽屏。窗口模式以 960 x 540 打开。两种模式都会保持宽屏比例，必要时添加黑边。", "Panorámica 16:9. El modo ventana se abre a 960 x 540. Ambos modos mantienen la proporción panorámica y añaden franjas negras cuando hace falta."},
    {"Window size does not change the selected internal resolution. A validated 30/60 FPS selector is not available yet.", "窗口大小不会改变所选的内部分辨率。经过验证的 30/60 FPS 选项暂不可用。", "El tamaño de la ventana no cambia la resolución interna seleccionada. Aún no hay un selector de 30/60 FPS validado."},
    {"Master volume", "主音量", "Volumen general"},
    {"Adjusts the complete game mix. Set to 0% to mute it.", "调整游戏的整体音量。设为 0% 即可静音。", "Ajusta el volumen de todo el sonido del juego. Ponlo al 0% para silenciarlo."},
    {"Separate music, effects and voice controls are not available yet.", "暂不支持单独调节音乐、音效和语音。", "Aún no hay controles separados para la música, los efectos y las voces."},
    {"Game save found", "已找到游戏存档", "Partida guardada encontrada"},
    {"No game save yet", "还没有游戏存档", "Aún no hay partida guardada"},
    {"Open Saves", "打开存档文件夹", "Abrir carpeta de partidas"},
    {"Open in file manager", "在文件管理器中打开", "Abrir en el gestor de archivos"},
    {"This folder is empty.", "此文件夹为空。", "Esta carpeta está vacía."},
    {"Could not open file", "无法打开文件", "No se pudo abrir el archivo"},
    {"Close", "关闭", "Cerrar"},
    {"The game manages its own saves. Choosing another DATA folder does not move them.", "游戏会自行管理存档。选择其他 DATA 文件夹不会移动存档。", "El juego gestiona sus propias partidas guardadas. Elegir otra carpeta DATA no las mueve."},
    {"Import Dolphin save", "导入 Dolphin 存档", "Importar partida de Dolphin"},
    {"Import save (.bin)", "导入存档（.bin）", "Importar partida (.bin)"},
    {"Choose Dolphin save folder", "选择 Dolphin 存档文件夹", "Elegir carpeta de partidas de Dolphin"},
    {"Choose Dolphin save (.bin)", "选择 Dolphin 存档（.bin）", "Elegir partida de Dolphin (.bin)"},
    {"Dolphin Wii save (*.bin);;All files (*)", "Dolphin Wii 存档 (*.bin);;所有文件 (*)", "Partida de Wii de Dolphin (*.bin);;Todos los archivos (*)"},
    {"&Look in:", "查找范围(&L)：", "&Buscar en:"},
    {"Files of &type:", "文件类型(&T)：", "&Tipo de archivo:"},
    {"Select the Dolphin Wii folder, the VQ3E88 title data folder, or a Dolphin data.bin save. The current save is backed up before replacement.", "选择 Dolphin 的 Wii 文件夹、VQ3E88 的存档文件夹，或 Dolphin 的 data.bin 存档。替换前会先备份当前存档。", "Selecciona la carpeta Wii de Dolphin, la carpeta de partidas de VQ3E88 o una partida data.bin de Dolphin. Antes de reemplazar la partida actual se hace una copia de seguridad."},
    {"Export save (.bin)", "导出存档（.bin）", "Exportar partida (.bin)"},
    {"Export save folder", "导出存档（文件夹）", "Exportar partida (carpeta)"},
    {"Choose export file", "选择导出文件", "Elegir archivo de exportación"},
    {"Choose export folder", "选择导出文件夹", "Elegir carpeta de exportación"},
    {"Backups", "备份", "Copias de seguridad"},
    {"No backups yet. Imports and restores keep a copy of the previous save here.", "还没有备份。导入和恢复时会在这里保留之前存档的副本。", "Aún no hay copias de seguridad. Al importar o restaurar se guarda aquí una copia de la partida anterior."},
    {"No backups yet.", "还没有备份。", "Aún no hay copias de seguridad."},
    {"Imports and restores keep a copy of the previous save here.", "导入和恢复时会在这里保留之前存档的副本。", "Al importar o restaurar se guarda aquí una copia de la partida anterior."},
    {"Restore", "恢复", "Restaurar"},
    {"Delete", "删除", "Eliminar"},
    {"Replace", "替换", "Reemplazar"},
    {"Cancel", "取消", "Cancelar"},
    {"Replace save", "替换存档", "Reemplazar partida"},
    {"This will replace your current save. A backup of the current save will be made first.", "这将替换你当前的存档。替换前会先备份当前存档。", "Se reemplazará tu partida actual. Antes se hará una copia de seguridad de ella."},
    {"Save exported to .bin", "存档已导出为 .bin", "Partida exportada a .bin"},
    {"Save exported to folder", "存档已导出到文件夹", "Partida exportada a la carpeta"},
    {"Backup restored", "备份已恢复", "Copia de seguridad restaurada"},
    {"Backup deleted", "备份已删除", "Copia de seguridad eliminada"},
    {"Backup name", "备份名称", "Nombre de la copia"},
    {"Create backup", "创建备份", "Crear copia"},
    {"Backup created", "备份已创建", "Copia de seguridad creada"},
    {"e.g. Before Thimble Tower", "例如：挑战顶针塔之前", "p. ej., Antes de la Torre Dedal"},
    {"Named backups are kept until you delete them. Close the game before creating one.", "命名备份会一直保留，直到你将其删除。创建备份前请先关闭游戏。", "Las copias con nombre se conservan hasta que las elimines. Cierra el juego antes de crear una."},
    {"Copies saved progress, not your current position in a level.", "只复制已保存的进度，不包括你在关卡中的当前位置。", "Copia el progreso guardado, no tu posición actual en un nivel."},
    {"Enter a backup name", "请输入备份名称", "Escribe un nombre para la copia"},
    {"Backup name is too long or contains control characters", "备份名称过长或包含控制字符", "El nombre de la copia es demasiado largo o contiene caracteres de control"},
    {"There is no save to back up yet", "还没有可备份的存档", "Aún no hay ninguna partida que copiar"},
    {"Cannot write the backup name", "无法写入备份名称", "No se puede escribir el nombre de la copia"},
    {"That backup contains no save", "该备份中没有存档", "Esa copia no contiene ninguna partida"},
    {"There is no save to export yet", "还没有可导出的存档", "Aún no hay ninguna partida que exportar"},
    {"Gyroscope & gravity / tilt", "陀螺仪与重力 / 倾斜", "Giroscopio y gravedad / inclinación"},
    {"Controllers detected: %d", "检测到的手柄：%d", "Mandos detectados: %d"},
    {"Unnamed controller", "未命名手柄", "Mando sin nombre"},
    {"Connect a controller to see it here.", "连接手柄后会显示在这里。", "Conecta un mando para verlo aquí."},
    {"No controller connected", "未连接手柄", "No hay ningún mando conectado"},
    {"Preview controller", "预览用手柄", "Mando de la vista previa"},
    {"Calibration complete. Save settings to use it in game.", "校准完成。保存设置后即可在游戏中使用。", "Calibración completada. Guarda los ajustes para usarla en el juego."},
    {"Calibration stopped: sensor data unavailable.", "校准已停止：无法获取传感器数据。", "Calibración detenida: no hay datos del sensor."},
    {"Gyroscope: %s    Accelerometer: %s", "陀螺仪：%s    加速度计：%s", "Giroscopio: %s    Acelerómetro: %s"},
    {"available", "可用", "disponible"},
    {"unavailable", "不可用", "no disponible"},
    {"Use a controller with motion sensors exposed to SDL. Xbox-emulated devices may hide them.", "请使用能向 SDL 提供体感传感器数据的手柄。模拟 Xbox 手柄的设备可能会隐藏这些传感器。", "Usa un mando cuyos sensores de movimiento estén disponibles en SDL. Los dispositivos que emulan un mando Xbox pueden ocultarlos."},
    {"Use controller tilt (gravity)", "使用手柄倾斜（重力）", "Usar la inclinación del mando (gravedad)"},
    {"Reverse tilt", "反转倾斜", "Invertir inclinación"},
    {"Tilt sensitivity", "倾斜灵敏度", "Sensibilidad de inclinación"},
    {"Pointer source", "指针来源", "Origen del puntero"},
    {"Mouse", "鼠标", "Ratón"},
    {"Gyroscope (mouse fallback)", "陀螺仪（不可用时用鼠标）", "Giroscopio (si no, ratón)"},
    {"Right stick", "右摇杆", "Stick derecho"},
    {"Disabled", "停用", "Desactivado"},
    {"Pointer sensitivity", "指针灵敏度", "Sensibilidad del puntero"},
    {"Invert pointer X", "反转指针 X 轴", "Invertir eje X del puntero"},
    {"Invert pointer Y", "反转指针 Y 轴", "Invertir eje Y del puntero"},
    {"Gyro deadzone (rad/s)", "陀螺仪死区（rad/s）", "Zona muerta del giroscopio (rad/s)"},
    {"Pointer stick deadzone", "指针摇杆死区", "Zona muerta del stick del puntero"},
    {"Keyboard motion: Q / E tilt, R recenter", "键盘体感：Q / E 倾斜，R 回中", "Movimiento con teclado: Q / E inclinan, R recentra"},
    {"Press the right stick to recenter in game. Motion settings apply to all players; keyboard motion controls player 1.", "游戏中按下右摇杆即可回中。体感设置适用于所有玩家；键盘体感控制玩家 1。", "Pulsa el stick derecho para recentrar en el juego. Los ajustes de movimiento se aplican a todos los jugadores; el movimiento con teclado controla al jugador 1."},
    {"Recenter preview", "预览回中", "Recentrar vista previa"},
    {"Calibrate gyro", "校准陀螺仪", "Calibrar giroscopio"},
    {"Hold the controller still for 2 seconds.", "请将手柄保持静止 2 秒。", "Mantén el mando quieto durante 2 segundos."},
    {"Hold still; movement restarts calibration", "请保持静止；移动会重新开始校准", "No lo muevas; si se mueve, la calibración vuelve a empezar"},
    {"Tilt: %+.1f deg    Pointer: %+.2f, %+.2f", "倾角：%+.1f°    指针：%+.2f，%+.2f", "Inclinación: %+.1f°    Puntero: %+.2f, %+.2f"},
    {"Reset motion settings", "重置体感设置", "Restablecer ajustes de movimiento"},
    {"Calibration is saved for the selected controller model. Settings and calibration apply on the next game launch.", "校准数据按所选手柄型号保存。设置和校准将在下次启动游戏时生效。", "La calibración se guarda para el modelo de mando seleccionado. Los ajustes y la calibración se aplican en el próximo inicio del juego."},
    {"Button bindings", "按键绑定", "Asignación de botones"},
    {"Select a binding, then press the new input. Gamepad bindings apply to all players; keyboard bindings apply to player 1. Launcher navigation stays unchanged.", "选择要更改的绑定，然后按下新的按键。手柄绑定适用于所有玩家；键盘绑定适用于玩家 1。启动器自身的导航操作不受影响。", "Selecciona una asignación y pulsa el nuevo botón o tecla. Las asignaciones del mando se aplican a todos los jugadores; las del teclado, al jugador 1. La navegación del lanzador no cambia."},
    {"Stick activation", "摇杆触发阈值", "Umbral del stick"},
    {"Trigger activation", "扳机触发阈值", "Umbral del gatillo"},
    {"For actions assigned to an axis, choose how far to move the stick or trigger before the action activates.", "对于绑定到轴的动作，设置摇杆或扳机要推到多远才会触发该动作。", "Para las acciones asignadas a un eje, elige cuánto hay que mover el stick o el gatillo para que la acción se active."},
    {"Release the captured input to continue.", "请松开刚才按下的按键以继续。", "Suelta el botón o la tecla para continuar."},
    {"Press a gamepad button or move a centered stick/trigger. Escape or Cancel stops capture.", "按下手柄按键，或将摇杆/扳机从中间位置推出。按 Esc 或“取消更改”可中止。", "Pulsa un botón del mando o mueve un stick o gatillo desde su posición central. Para cancelar, pulsa Esc o Cancelar asignación."},
    {"Press a keyboard key. Escape cancels capture; Use Escape assigns that key.", "按下键盘按键。按 Esc 取消更改；“使用 Esc”会将 Esc 键绑定到该动作。", "Pulsa una tecla. Esc cancela la asignación; Usar Esc asigna esa tecla."},
    {"Swap bindings", "交换绑定", "Intercambiar asignaciones"},
    {"Use Escape", "使用 Esc", "Usar Esc"},
    {"Cancel capture", "取消更改", "Cancelar asignación"},
    {"Action", "动作", "Acción"},
    {"Gamepad", "手柄", "Mando"},
    {"Keyboard", "键盘", "Teclado"},
    {"Unmapped", "未绑定", "Sin asignar"},
    {"Clear", "清除", "Borrar"},
    {"Reset controls", "重置操作", "Restablecer controles"},
    {"Default bindings and activation levels restored", "已恢复默认绑定和触发阈值", "Se han restablecido las asignaciones y los umbrales predeterminados"},
    {"Per-device binding profiles and player assignment are not available yet.", "暂不支持按设备区分的绑定配置和玩家分配。", "Aún no hay perfiles de asignación por dispositivo ni asignación de jugadores."},
    {"Move up", "向上移动", "Mover arriba"},
    {"Move down", "向下移动", "Mover abajo"},
    {"Move left", "向左移动", "Mover a la izquierda"},
    {"Move right", "向右移动", "Mover a la derecha"},
    {"Jump / Confirm", "跳跃 / 确认", "Saltar / Confirmar"},
    {"Quilt / Cancel", "拼布 / 取消", "Colcha / Cancelar"},
    {"Pause / Plus", "暂停 / 加号键", "Pausa / Más"},
    {"Map / Minus", "地图 / 减号键", "Mapa / Menos"},
    {"Home", "HOME 键", "HOME"},
    {"Binding updated", "绑定已更新", "Asignación actualizada"},
    {"Binding canceled", "已取消更改绑定", "Asignación cancelada"},
    {"Unknown action", "未知动作", "Acción desconocida"},
    {"Already assigned to ", "已绑定到 ", "Ya asignado a "},
    {" (modified)", " (已修改)", " (modificado)"},
    {"Source fingerprint: %.12s", "源码指纹：%.12s", "Huella del código fuente: %.12s"},
    {"Source and dependency details", "源码与依赖详情", "Detalles del código fuente y las dependencias"},
    {"Project revision: %s", "项目修订版本：%s", "Revisión del proyecto: %s"},
    {"Project source SHA-256: %s", "项目源码 SHA-256：%s", "SHA-256 del código del proyecto: %s"},
    {"Pinned Castwork: %s", "锁定的 Castwork 版本：%s", "Versión fijada de Castwork: %s"},
    {"Pinned Aurora: %s", "锁定的 Aurora 版本：%s", "Versión fijada de Aurora: %s"},
    {"Game: %s Rev %d", "游戏：%s Rev %d", "Juego: %s Rev %d"},
    {"CMake compiler options: %s", "CMake 编译器选项：%s", "Opciones del compilador de CMake: %s"},
    {"Game is running", "游戏正在运行", "El juego está en ejecución"},
    {"Game is not running", "游戏未运行", "El juego no está en ejecución"},
    {"Build information", "构建信息", "Información de compilación"},
    {"Launcher", "启动器", "Lanzador"},
    {"Native game", "原生游戏", "Juego nativo"},
    {"Launcher and runtime build records match.", "启动器与运行时的构建记录一致。", "Los registros de compilación del lanzador y del entorno de ejecución coinciden."},
    {"Launcher and runtime build records differ.", "启动器与运行时的构建记录不一致。", "Los registros de compilación del lanzador y del entorno de ejecución no coinciden."},
    {"Checking native build...", "正在检查原生构建……", "Comprobando la compilación nativa..."},
    {"Refresh build information", "刷新构建信息", "Actualizar información de compilación"},
    {"Open Logs", "打开日志", "Abrir registros"},
    {"Open Build Guide", "打开构建指南", "Abrir guía de compilación"},
    {"Shared settings", "共享设置", "Ajustes compartidos"},
    {"Open Settings Folder", "打开设置文件夹", "Abrir carpeta de ajustes"},
    {"Discard changes and reload", "放弃更改并重新加载", "Descartar cambios y recargar"},
    {"Reload settings", "重新加载设置", "Recargar ajustes"},
    {"Settings error: %s", "配置错误：%s", "Error de configuración: %s"},
    {"The original file was preserved. Correct it and reload, or move it aside before restarting.", "原文件已保留。请修正后重新加载，或在重新启动前将其移到别处。", "Se ha conservado el archivo original. Corrígelo y vuelve a cargarlo, o muévelo a otro sitio antes de reiniciar."},
    {"Native executable", "原生可执行文件", "Ejecutable nativo"},
    {"Castwork + Aurora. GPL-3.0-only and third-party licenses preserved.", "Castwork + Aurora。保留 GPL-3.0-only 及第三方许可证。", "Castwork + Aurora. Se conservan la licencia GPL-3.0-only y las licencias de terceros."},
    {"Missing ", "缺少 ", "Falta "},
    {"Wrong revision or SHA-1 verification failed", "版本不符或 SHA-1 验证失败", "Revisión incorrecta o error en la verificación SHA-1"},
    {"Could not start the native executable: ", "无法启动游戏：", "No se pudo iniciar el juego: "},
    {"Repair the installed build before playing. ", "请先修复已安装的构建，再开始游戏。", "Repara la compilación instalada antes de jugar. "},
    {"Open Tobble Setup to install or update the game.", "打开 Tobble Setup 以安装或更新游戏。", "Abre Tobble Setup para instalar o actualizar el juego."},
    {"South (A / Cross)", "下方键（A / 叉）", "Sur (A / Cruz)"},
    {"East (B / Circle)", "右方键（B / 圆圈）", "Este (B / Círculo)"},
    {"West (X / Square)", "左方键（X / 方块）", "Oeste (X / Cuadrado)"},
    {"North (Y / Triangle)", "上方键（Y / 三角）", "Norte (Y / Triángulo)"},
    {"Left trigger (LT / L2)", "左扳机（LT / L2）", "Gatillo izquierdo (LT / L2)"},
    {"Right trigger (RT / R2)", "右扳机（RT / R2）", "Gatillo derecho (RT / R2)"},
    {"Left bumper (LB / L1)", "左肩键（LB / L1）", "Botón superior izquierdo (LB / L1)"},
    {"Right bumper (RB / R1)", "右肩键（RB / R1）", "Botón superior derecho (RB / R1)"},
    {"Left stick click (L3)", "左摇杆按下（L3）", "Clic del stick izquierdo (L3)"},
    {"Right stick click (R3)", "右摇杆按下（R3）", "Clic del stick derecho (R3)"},
    {"D-pad Up", "十字键上", "Cruceta arriba"},
    {"D-pad Down", "十字键下", "Cruceta abajo"},
    {"D-pad Left", "十字键左", "Cruceta izquierda"},
    {"D-pad Right", "十字键右", "Cruceta derecha"},
    {"Left stick left", "左摇杆向左", "Stick izquierdo a la izquierda"},
    {"Left stick right", "左摇杆向右", "Stick izquierdo a la derecha"},
    {"Left stick up", "左摇杆向上", "Stick izquierdo arriba"},
    {"Left stick down", "左摇杆向下", "Stick izquierdo abajo"},
    {"Right stick left", "右摇杆向左", "Stick derecho a la izquierda"},
    {"Right stick right", "右摇杆向右", "Stick derecho a la derecha"},
    {"Right stick up", "右摇杆向上", "Stick derecho arriba"},
    {"Right stick down", "右摇杆向下", "Stick derecho abajo"},
    {"In-game button icons", "游戏内按键图标", "Iconos de botones en el juego"},
    {"Use controller and keyboard icons", "使用手柄和键盘图标", "Usar iconos de mando y teclado"},
    {"Icon style", "图标样式", "Estilo de iconos"},
    {"Last used device", "最近使用的设备", "Último dispositivo usado"},
    // Rows the launcher's contract does not list: the stand-in service's own results and the
    // region on the home page's edition line.
    {"USA", "美版", "EE. UU."},
    {"Save imported", "存档已导入", "Partida importada"},
    {"That folder is the current save", "该文件夹就是当前存档", "Esa carpeta es la partida actual"},
    {"Choose a place outside the current save", "请选择当前存档以外的位置", "Elige una ubicación fuera de la partida actual"},
    {"Cannot read sys/boot.bin", "无法读取 sys/boot.bin", "No se puede leer sys/boot.bin"},
    {"Could not start Tobble Setup", "无法启动 Tobble Setup", "No se pudo iniciar Tobble Setup"},
    {"No keyboard capture is running", "当前没有在等待键盘按键", "No se está esperando ninguna tecla"},
    {"No conflicting binding to swap", "没有可交换的冲突绑定", "No hay ninguna asignación en conflicto que intercambiar"},
    {"This key's name is too long to bind. Press another key.", "该按键的名称过长，无法绑定。请按其他按键。", "El nombre de esta tecla es demasiado largo para asignarla. Pulsa otra tecla."},
    {"Demo controller", "演示手柄", "Mando de demostración"},
    {"The native executable is not a file: ", "原生可执行文件不是普通文件：", "El ejecutable nativo no es un archivo: "},
    {"The native executable lacks permission to run: ", "原生可执行文件没有运行权限：", "El ejecutable nativo no tiene permiso de ejecución: "},
    {"Could not remember the game data folder: ", "无法保存游戏数据文件夹的位置：", "No se pudo guardar la ubicación de la carpeta de datos del juego: "},
    {"The current save was kept: ", "已保留当前存档：", "Se ha conservado la partida actual: "},
    {"Could not copy the save: ", "无法复制存档：", "No se pudo copiar la partida: "},
    {"Could not export the save: ", "无法导出存档：", "No se pudo exportar la partida: "},
    {"Could not export the save to ", "无法将存档导出到：", "No se pudo exportar la partida a "},
    {"Could not move aside ", "无法移走已有的文件夹：", "No se pudo apartar la carpeta existente: "},
    {"Could not create the backup in ", "无法在此处创建备份：", "No se pudo crear la copia de seguridad en "},
    {"Could not copy the backup: ", "无法恢复备份：", "No se pudo restaurar la copia de seguridad: "},
    {"Could not delete ", "无法删除：", "No se pudo eliminar "},
};
// clang-format on

// Keyboard keys as the binding tables show them: the names players know from their own
// keyboards. The service and the settings file keep the English names. Some of those ("Delete",
// "Home", "Cancel", "Help", "Clear") are also catalogue keys of other texts, so the key names
// have a table of their own; keys labelled alike everywhere (letters, F1, Insert) are not in it.
// clang-format off
const Quilt::Message keys[] = {
    {"Space", "空格键", "Espacio"},
    {"Escape", "Esc", "Esc"},
    {"Tab", "Tab", "Tabulador"},
    {"Backspace", "退格键", "Retroceso"},
    {"Return", "回车键", "Intro"},
    {"Keypad Enter", "小键盘回车键", "Intro numérico"},
    {"Delete", "Delete", "Supr"},
    {"Home", "Home", "Inicio"},
    {"End", "End", "Fin"},
    {"PageUp", "Page Up", "Re Pág"},
    {"PageDown", "Page Down", "Av Pág"},
    {"Up", "上方向键", "Flecha arriba"},
    {"Down", "下方向键", "Flecha abajo"},
    {"Left", "左方向键", "Flecha izquierda"},
    {"Right", "右方向键", "Flecha derecha"},
    {"Left Shift", "左 Shift", "Mayús izquierda"},
    {"Right Shift", "右 Shift", "Mayús derecha"},
    {"Left Ctrl", "左 Ctrl", "Ctrl izquierda"},
    {"Right Ctrl", "右 Ctrl", "Ctrl derecha"},
    {"Left Alt", "左 Alt", "Alt"},
    {"Right Alt", "右 Alt", "Alt Gr"},
    {"Left GUI", "左 Win 键", "Windows izquierda"},
    {"Right GUI", "右 Win 键", "Windows derecha"},
    {"CapsLock", "Caps Lock", "Bloq Mayús"},
    {"NumLock", "Num Lock", "Bloq Num"},
    {"ScrollLock", "Scroll Lock", "Bloq Despl"},
    {"Print", "PrtSc", "Impr Pant"},
    {"Pause", "Pause", "Pausa"},
    {"Menu", "菜单键", "Menú"},
};
// clang-format on

// Current language index: 0 Simplified Chinese, 1 English, 2 Spanish.
int locale = 1;

// What may follow a prefix in a service text.
enum class Detail {
    Key,    // another catalogue text: the prefix starts a sentence that the catalogue ends
    Path,   // a file or folder name, or a catalogue text
    Reason, // the system's own words about a failure, kept as they came
};

struct Prefix
{
    const char *key;
    Detail detail;
};

// Service texts may start with one of these keys and carry a variable part after it.
constexpr Prefix statusPrefixes[] = {
    {"Data verification failed: ", Detail::Path},
    {"Already assigned to ", Detail::Key},
    {"Missing ", Detail::Path},
    {"Could not start the native executable: ", Detail::Reason},
    {"Repair the installed build before playing. ", Detail::Key},
    {"The native executable is not a file: ", Detail::Path},
    {"The native executable lacks permission to run: ", Detail::Path},
    {"Could not remember the game data folder: ", Detail::Reason},
    {"The current save was kept: ", Detail::Reason},
    {"Could not copy the save: ", Detail::Reason},
    {"Could not export the save: ", Detail::Reason},
    {"Could not export the save to ", Detail::Path},
    {"Could not move aside ", Detail::Path},
    {"Could not create the backup in ", Detail::Path},
    {"Could not copy the backup: ", Detail::Reason},
    {"Could not delete ", Detail::Path},
};

// Whether a text that is not in the catalogue may follow a prefix of the given kind. A path
// names something on disk: it has a separator or no blank at all, unlike an English phrase.
bool detailFits(Detail detail, QStringView rest)
{
    switch (detail) {
    case Detail::Key:
        return false;
    case Detail::Path:
        return rest.contains(u'/') || rest.contains(u'\\') ||
               std::none_of(rest.begin(), rest.end(), [](QChar c) { return c.isSpace(); });
    case Detail::Reason:
        return true;
    }
    return false;
}

// The catalogue row of an English key, or null when the key is not in the catalogue.
const Quilt::Message *find(const QByteArray &key)
{
    static const QHash<QByteArray, const Quilt::Message *> lookup = [] {
        QHash<QByteArray, const Quilt::Message *> table;
        table.reserve(std::size(messages));
        for (const Quilt::Message &row : messages)
            table.insert(QByteArray(row.english), &row);
        return table;
    }();
    return lookup.value(key, nullptr);
}

// Text of a catalogue row in the current language; any index but 1 and 2 reads as Chinese.
const char *localized(const Quilt::Message &row)
{
    return locale == 2 ? row.spanish : row.chinese;
}

} // namespace

namespace Quilt {

std::span<const Message> catalogue()
{
    return messages;
}

QString T(const char *key)
{
    if (!key)
        return QString();
    // fromRawData spares a copy of the key on every lookup; pages call this for every text.
    const QByteArray bytes = QByteArray::fromRawData(key, qstrlen(key));
    const Message *row = locale == 1 ? nullptr : find(bytes);
    return QString::fromUtf8(row ? localized(*row) : key);
}

QString keyLabel(const QString &name)
{
    if (locale == 1)
        return name;
    for (const Message &key : keys)
        if (name == QLatin1StringView(key.english))
            return QString::fromUtf8(localized(key));
    return name;
}

std::span<const Message> keyLabels()
{
    return keys;
}

void language(int index)
{
    locale = index;
}

QString status(const QString &text)
{
    if (locale == 1)
        return text;
    // A loop rather than a recursion on the rest: a service text that repeats a prefix
    // thousands of times must not exhaust the stack.
    QString result;
    qsizetype start = 0;
    const Prefix *last = nullptr;
    for (bool matched = true; matched;) {
        matched = false;
        for (const Prefix &prefix : statusPrefixes) {
            const QLatin1StringView english(prefix.key);
            if (QStringView(text).sliced(start).startsWith(english)) {
                result += T(prefix.key);
                start += english.size();
                last = &prefix;
                matched = true;
                break;
            }
        }
    }
    const QStringView rest = QStringView(text).sliced(start);
    // The whole rest is looked up, so a text with an embedded NUL or characters that do not
    // survive a round trip through UTF-8 still comes back exactly as the service sent it.
    if (const Message *row = find(rest.toUtf8()))
        return result + QString::fromUtf8(localized(*row));
    // A translated prefix followed by English words would read as half a sentence in each
    // language: then the whole text stays as the service wrote it.
    if (last && !rest.isEmpty() && !detailFits(last->detail, rest))
        return text;
    return result += rest;
}

} // namespace Quilt
