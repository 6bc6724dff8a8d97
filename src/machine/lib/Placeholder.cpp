int maroka_machine_placeholder = 0;
